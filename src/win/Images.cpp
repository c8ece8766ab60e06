#include "Images.h"

#include "Dpi.h"

#include "resource.h"

#include <cstring>
#include <vector>

namespace {

UniqueIcon LoadIconAt(int Id, int Size) {
    return UniqueIcon(static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(Id),
                                                    IMAGE_ICON, Size, Size, LR_DEFAULTCOLOR)));
}

UniqueIcon LoadImageIcon(TImageIndex Image, int Size) {
    return LoadIconAt(IDI_DOCUMENT + Image, Size);
}

// A desaturated, faded copy of Icon for disabled buttons; empty when it cannot be made.
UniqueIcon CreateDisabledIcon(HICON Icon, int Size) {
    ICONINFO Info{};
    if (!GetIconInfo(Icon, &Info))
        return {};
    UniqueBitmap Color(Info.hbmColor), Mask(Info.hbmMask);
    if (!Color)
        return {};
    BITMAPINFO Format{};
    Format.bmiHeader.biSize = sizeof Format.bmiHeader;
    Format.bmiHeader.biWidth = Size;
    Format.bmiHeader.biHeight = -Size;
    Format.bmiHeader.biPlanes = 1;
    Format.bmiHeader.biBitCount = 32;
    Format.bmiHeader.biCompression = BI_RGB;
    std::vector<RGBQUAD> Pixels(static_cast<size_t>(Size) * Size);
    TWindowDC Screen(nullptr);
    if (!GetDIBits(Screen.get(), Color.get(), 0, Size, Pixels.data(), &Format, DIB_RGB_COLORS))
        return {};
    for (RGBQUAD& p : Pixels) {
        int Grey = (p.rgbRed * 30 + p.rgbGreen * 59 + p.rgbBlue * 11) / 100;
        Grey = 96 + Grey / 2; // lighter, like the disabled text beside it
        p.rgbRed = p.rgbGreen = p.rgbBlue = static_cast<BYTE>(Grey);
        p.rgbReserved = static_cast<BYTE>(p.rgbReserved * 45 / 100);
    }
    void* Bits = nullptr;
    UniqueBitmap Faded(CreateDIBSection(Screen.get(), &Format, DIB_RGB_COLORS, &Bits, nullptr, 0));
    if (!Faded)
        return {};
    memcpy(Bits, Pixels.data(), Pixels.size() * sizeof(RGBQUAD));
    ICONINFO FadedInfo = Info;
    FadedInfo.hbmColor = Faded.get();
    return UniqueIcon(CreateIconIndirect(&FadedInfo));
}

} // namespace

UniqueImageList CreateImageList(UINT Dpi) {
    // Loaded at the size the DPI calls for, so they are never stretched.
    int Size = ScaleForDpi(16, Dpi);
    UniqueImageList List(ImageList_Create(Size, Size, ILC_COLOR32, iiCount, 0));
    for (int i = 0; i < iiCount; ++i)
        ImageList_AddIcon(List.get(), LoadImageIcon(static_cast<TImageIndex>(i), Size).get());
    return List;
}

UniqueImageList CreateButtonImages(TImageIndex Image, UINT Dpi) {
    int Size = ScaleForDpi(16, Dpi);
    UniqueIcon Icon = LoadImageIcon(Image, Size);
    UniqueIcon Faded = CreateDisabledIcon(Icon.get(), Size);
    UniqueImageList States(ImageList_Create(Size, Size, ILC_COLOR32, 6, 0));
    constexpr int DisabledState = 3;
    for (int State = 0; State < 6; ++State)
        ImageList_AddIcon(States.get(), State == DisabledState && Faded ? Faded.get() : Icon.get());
    return States;
}

UniqueIcon LoadAppIcon(int Size) {
    return LoadIconAt(IDI_KESTROVA, Size);
}
