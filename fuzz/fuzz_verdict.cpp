// The output reader with the verdict: any output, any exit code, judged without a fault, and the
// outcome consistent with itself.
#include "Conversion.h"
#include "FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size) {
    if (Size == 0)
        return 0;
    constexpr uint32_t Codes[] = {0, 1, 2, 1223, 0xC0000005};
    const uint32_t code = Codes[Data[0] % 5];
    const bool cancelled = Data[0] >= 250;
    const TConversionOutcome o = JudgeConversion(cancelled, code, Text(Data + 1, Size - 1));
    FUZZ_CHECK(o.Converted == (o.Failure == TFailureKind::None));
    FUZZ_CHECK(!o.EndedEarly || (o.Converted && o.ReachedMs <= o.DurationMs && o.DurationMs > 0));
    FUZZ_CHECK(!cancelled || o.Failure == TFailureKind::Cancelled);
    FUZZ_CHECK(code == 0 || !o.Converted);
    FUZZ_CHECK(o.Converted || !DescribeFailure(o, DefaultFailureTexts).empty());
    if (o.EndedEarly)
        FUZZ_CHECK(!DescribeEndedEarly(L"a.webm", o, DefaultEndedEarlyText).empty());
    return 0;
}
