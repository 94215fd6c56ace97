// What the library's DLL entry provides to the editor, for the native harness: no module.
void* hInstance = nullptr;
