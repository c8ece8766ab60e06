// Natural name order is a strict total order: irreflexive, asymmetric, transitive, and any two
// different names are ordered.
#include "FolderScan.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    std::vector<std::wstring> names = Texts(Data, Size);
    names.resize(3);
    for (const std::wstring& x : names) {
        FUZZ_CHECK(!NaturalLess(x, x));
        for (const std::wstring& y : names) {
            const bool xy = NaturalLess(x, y), yx = NaturalLess(y, x);
            FUZZ_CHECK(!(xy && yx));
            FUZZ_CHECK(x == y || xy || yx);
            for (const std::wstring& z : names) {
                if (xy && NaturalLess(y, z))
                    FUZZ_CHECK(NaturalLess(x, z));
            }
        }
    }
    return 0;
}
