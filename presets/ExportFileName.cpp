#include "presets/ExportFileName.h"

#include <cstring>

#include "presets/Utf8Text.h"

namespace {

const char kExtension[] = ".ini";

bool IsUnsafe(char c) { return c != '\0' && std::strchr(" *?<>:\\\"/|\t\r\n", c) != nullptr; }

}  // namespace

size_t MakeExportFileName(const char* name, char* out, size_t size) {
    if (!out || size == 0) return 0;
    if (!name) name = "";
    const size_t extension = sizeof kExtension - 1;
    const size_t room = size - 1 > extension ? size - 1 - extension : 0;
    size_t length = 0;
    for (; name[length] && length < room; ++length) out[length] = IsUnsafe(name[length]) ? '_' : name[length];
    if (name[length]) length = WholeCodePoints(name, length);   // a name is UTF-8: no character is cut in half
    for (size_t i = 0; i < extension && length < size - 1; ++i) out[length++] = kExtension[i];
    out[length] = '\0';
    return length;
}
