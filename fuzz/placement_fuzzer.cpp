// Fuzzes the placement file the way the module meets it: any bytes as
// "Config/Quillory.ini", then LoadPlacements, SavePlacements, LoadPlacements,
// SavePlacements. The first save turns whatever was there into the module's own
// form; loading and saving that form again must give back the very same bytes.
// Besides that fixed point, every save must have the written form (one line-end
// form, no byte-order mark, no empty line at the end), every loaded record must
// sit under its own window key, unbound, and no temporary file may stay behind.
//
// The module works relative to the current directory, so the fuzzer moves into
// a private scratch directory of its own at start-up: give it absolute paths for
// corpus folders and -artifact_prefix.

#include "fuzz_support.h"

#include "persistence/placement_file.h"

namespace {

std::string LoadAndSave() {
    LoadPlacements();
    RequireRecordsUnderTheirOwnKeys();
    return SaveAndRead();
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    EnterScratchDirectory();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    WriteWhole(PlacementFilePath, data, size);
    const std::string first = LoadAndSave();
    RequireSameSave(first, LoadAndSave());
    return 0;
}
