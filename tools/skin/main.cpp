// Writes every bitmap resource of the skin as a 24-bit BMP named <id>.bmp into a folder,
// and on request a contact sheet of all of them or the full face with its controls in place.
//   halvorn-skin OUTDIR [--sheet FILE.bmp | --preview FILE.bmp]
#include <cstdio>
#include <cstring>
#include <string>

#include "preview.h"
#include "skin_art.h"

int main(int argc, char** argv) {
  const bool sheet = argc == 4 && std::strcmp(argv[2], "--sheet") == 0;
  const bool preview = argc == 4 && std::strcmp(argv[2], "--preview") == 0;
  if (argc != 2 && !sheet && !preview) {
    std::fprintf(stderr, "usage: %s OUTDIR [--sheet FILE.bmp | --preview FILE.bmp]\n", argv[0]);
    return 2;
  }
  const std::string dir = argv[1];
  const auto bitmaps = skin::drawSkin();
  for (const skin::Bitmap& b : bitmaps) {
    const std::string path = dir + "/" + std::to_string(b.id) + ".bmp";
    if (!b.image.writeBmp(path)) {
      std::fprintf(stderr, "cannot write %s\n", path.c_str());
      return 1;
    }
  }
  if ((sheet || preview) &&
      !(sheet ? skin::contactSheet(bitmaps) : skin::facePreview(bitmaps)).writeBmp(argv[3])) {
    std::fprintf(stderr, "cannot write %s\n", argv[3]);
    return 1;
  }
  return 0;
}
