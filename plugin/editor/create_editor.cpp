#include <new>

#include "editor/halvorn_edit.h"

HalvornEdit* createHalvornEdit(Halvorn* effect) { return new (std::nothrow) HalvornEdit(effect); }
