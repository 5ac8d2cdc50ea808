// The program's images on its windows: a window's icon from the bytes of an
// icon file, and a picture control's bitmap decoded from PNG bytes by the
// system's imaging component (WIC).
//
// The picture is fitted into the control: an image larger than the control is
// scaled down, keeping its proportions, and centred; a smaller one is centred
// at its own size. The rest of the control shows the window's background
// colour. The bitmap is the control's own size, so the control never
// stretches it, and its alpha bytes are 0, so a version 6 static control
// draws it as it is instead of keeping a copy of its own.
#include "platform/win32/shell_native.h"

#include <wincodec.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <map>
#include <vector>

namespace brenvik::win32 {

namespace {

std::uint16_t Read16(std::span<const unsigned char> bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t Read32(std::span<const unsigned char> bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(bytes[at]) | (static_cast<std::uint32_t>(bytes[at + 1]) << 8) |
           (static_cast<std::uint32_t>(bytes[at + 2]) << 16) |
           (static_cast<std::uint32_t>(bytes[at + 3]) << 24);
}

// True when a device-independent image (header, colour table, colour bits and
// mask, as an icon file holds it) lies wholly within `image`, so that making
// an icon of it reads nothing beyond the bytes given.
bool IsWholeBitmapImage(std::span<const unsigned char> image)
{
    if (image.size() < 40)
        return false;
    const std::uint32_t headerSize = Read32(image, 0);
    const auto width = static_cast<std::int32_t>(Read32(image, 4));
    const auto doubledHeight = static_cast<std::int32_t>(Read32(image, 8));
    const std::uint16_t planes = Read16(image, 12);
    const std::uint16_t bitCount = Read16(image, 14);
    const std::uint32_t usedColours = Read32(image, 32);
    if (headerSize < 40 || headerSize > image.size() || width <= 0 || width > 1024 || doubledHeight <= 0 ||
        doubledHeight > 2048 || doubledHeight % 2 != 0 || planes != 1)
        return false;
    if (bitCount != 1 && bitCount != 4 && bitCount != 8 && bitCount != 24 && bitCount != 32)
        return false;
    const std::uint64_t colours = bitCount <= 8 ? (usedColours != 0 ? usedColours : (1u << bitCount)) : 0;
    if (colours > 256)
        return false;
    const auto height = static_cast<std::uint64_t>(doubledHeight / 2);
    const std::uint64_t colourStride = ((static_cast<std::uint64_t>(width) * bitCount + 31) / 32) * 4;
    const std::uint64_t maskStride = ((static_cast<std::uint64_t>(width) + 31) / 32) * 4;
    const std::uint64_t needed = headerSize + colours * 4 + (colourStride + maskStride) * height;
    return needed <= image.size();
}

}  // namespace

UniqueIcon IconFromFile(std::span<const unsigned char> iconFile, int width, int height)
{
    // The file: a 6-byte header (0, type 1, image count), then one 16-byte
    // entry per image, of which the first gives its size and offset. This is
    // not the layout of an icon resource's directory, which names images by
    // resource id, so the entry is read here rather than looked up.
    if (iconFile.size() < 6 + 16 || Read16(iconFile, 0) != 0 || Read16(iconFile, 2) != 1 ||
        Read16(iconFile, 4) == 0)
        return UniqueIcon{};
    const std::uint32_t size = Read32(iconFile, 6 + 8);
    const std::uint32_t offset = Read32(iconFile, 6 + 12);
    if (offset > iconFile.size() || size > iconFile.size() - offset || size == 0)
        return UniqueIcon{};
    const std::span<const unsigned char> image = iconFile.subspan(offset, size);
    constexpr unsigned char kPngSignature[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const bool png = image.size() >= sizeof(kPngSignature) &&
                     std::memcmp(image.data(), kPngSignature, sizeof(kPngSignature)) == 0;
    if (!png && !IsWholeBitmapImage(image))
        return UniqueIcon{};
    // A copy, so that the system reads an aligned image.
    std::vector<BYTE> copy(image.begin(), image.end());
    return UniqueIcon{CreateIconFromResourceEx(copy.data(), static_cast<DWORD>(copy.size()), TRUE, 0x00030000,
                                               width, height, LR_DEFAULTCOLOR)};
}

namespace {

// Releases a COM interface when the owner goes.
template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ~ComPtr()
    {
        if (pointer_ != nullptr)
            pointer_->Release();
    }
    Interface* operator->() const { return pointer_; }
    Interface* get() const { return pointer_; }
    Interface** out() { return &pointer_; }

private:
    Interface* pointer_ = nullptr;
};

// COM for the length of a decode, in case the thread has not initialised it;
// where it has, this only counts once more and releases that count again.
class ComScope {
public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;
    ~ComScope()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }

private:
    HRESULT result_;
};

struct Size {
    int width = 0, height = 0;
};

// The image scaled to fit `box`, keeping its proportions; never enlarged.
Size FittedSize(Size image, Size box)
{
    if (image.width <= box.width && image.height <= box.height)
        return image;
    // Which side limits: compare image.w / box.w with image.h / box.h exactly.
    const auto wide = static_cast<std::int64_t>(image.width) * box.height;
    const auto tall = static_cast<std::int64_t>(image.height) * box.width;
    if (wide >= tall) {
        const auto h = (static_cast<std::int64_t>(image.height) * box.width + image.width / 2) / image.width;
        return {box.width, static_cast<int>(std::max<std::int64_t>(1, h))};
    }
    const auto w = (static_cast<std::int64_t>(image.width) * box.height + image.height / 2) / image.height;
    return {static_cast<int>(std::max<std::int64_t>(1, w)), box.height};
}

// Decodes an image and draws it, fitted and centred, into a new bitmap of
// `box`'s size over `background`. Null when the bytes cannot be decoded.
UniqueBitmap DecodeFitted(std::span<const unsigned char> bytes, Size box, COLORREF background)
{
    if (bytes.empty() || bytes.size() > 0xFFFFFFFFu || box.width <= 0 || box.height <= 0)
        return UniqueBitmap{};
    const ComScope com;
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IWICImagingFactory, reinterpret_cast<void**>(factory.out()))))
        return UniqueBitmap{};
    ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.out())) ||
        FAILED(
            stream->InitializeFromMemory(const_cast<BYTE*>(bytes.data()), static_cast<DWORD>(bytes.size()))))
        return UniqueBitmap{};
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    if (FAILED(factory->CreateDecoderFromStream(stream.get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                decoder.out())) ||
        FAILED(decoder->GetFrame(0, frame.out())))
        return UniqueBitmap{};
    UINT imageWidth = 0, imageHeight = 0;
    if (FAILED(frame->GetSize(&imageWidth, &imageHeight)) || imageWidth == 0 || imageHeight == 0 ||
        imageWidth > 16384 || imageHeight > 16384)
        return UniqueBitmap{};
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.out())) ||
        FAILED(converter->Initialize(frame.get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone,
                                     nullptr, 0.0, WICBitmapPaletteTypeCustom)))
        return UniqueBitmap{};

    const Size fitted = FittedSize({static_cast<int>(imageWidth), static_cast<int>(imageHeight)}, box);
    IWICBitmapSource* source = converter.get();
    ComPtr<IWICBitmapScaler> scaler;
    if (fitted.width != static_cast<int>(imageWidth) || fitted.height != static_cast<int>(imageHeight)) {
        if (FAILED(factory->CreateBitmapScaler(scaler.out())) ||
            FAILED(scaler->Initialize(converter.get(), static_cast<UINT>(fitted.width),
                                      static_cast<UINT>(fitted.height), WICBitmapInterpolationModeFant)))
            return UniqueBitmap{};
        source = scaler.get();
    }
    // Premultiplied BGRA rows, top first; the whole decode happens here.
    const auto stride = static_cast<UINT>(fitted.width) * 4;
    std::vector<BYTE> pixels(static_cast<std::size_t>(stride) * static_cast<std::size_t>(fitted.height));
    if (FAILED(source->CopyPixels(nullptr, stride, static_cast<UINT>(pixels.size()), pixels.data())))
        return UniqueBitmap{};

    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = box.width;
    info.bmiHeader.biHeight = -box.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap bitmap{CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0)};
    if (!bitmap || bits == nullptr)
        return UniqueBitmap{};
    GdiFlush();
    const BYTE backBlue = GetBValue(background), backGreen = GetGValue(background),
               backRed = GetRValue(background);
    auto* out = static_cast<BYTE*>(bits);
    const int left = (box.width - fitted.width) / 2;
    const int top = (box.height - fitted.height) / 2;
    for (int y = 0; y < box.height; ++y) {
        for (int x = 0; x < box.width; ++x) {
            BYTE* pixel = out + (static_cast<std::size_t>(y) * box.width + x) * 4;
            const int ix = x - left, iy = y - top;
            if (ix < 0 || iy < 0 || ix >= fitted.width || iy >= fitted.height) {
                pixel[0] = backBlue, pixel[1] = backGreen, pixel[2] = backRed;
            } else {
                // Premultiplied colour over the background.
                const BYTE* in =
                    pixels.data() + static_cast<std::size_t>(iy) * stride + static_cast<std::size_t>(ix) * 4;
                const int rest = 255 - in[3];
                pixel[0] = static_cast<BYTE>(in[0] + (backBlue * rest + 127) / 255);
                pixel[1] = static_cast<BYTE>(in[1] + (backGreen * rest + 127) / 255);
                pixel[2] = static_cast<BYTE>(in[2] + (backRed * rest + 127) / 255);
            }
            pixel[3] = 0;
        }
    }
    return bitmap;
}

bool IsBitmapStatic(HWND hwnd)
{
    wchar_t className[16] = {};
    GetClassNameW(hwnd, className, 16);
    return lstrcmpiW(className, L"Static") == 0 &&
           (static_cast<DWORD>(GetWindowLongPtrW(hwnd, GWL_STYLE)) & SS_TYPEMASK) == SS_BITMAP;
}

LRESULT CALLBACK WindowWatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR windowValue,
                             DWORD_PTR state);

}  // namespace

struct Win32WindowImages::State {
    Win32Process& process;
    Win32Ui& ui;
    struct WindowIcons {
        UniqueIcon big, small;
    };
    std::map<std::uint32_t, WindowIcons> icons;                      // by window
    std::map<std::pair<std::uint32_t, int>, UniqueBitmap> pictures;  // by window and control
    std::map<std::uint32_t, HWND> watched;                           // windows this object subclassed

    State(Win32Process& owner, Win32Ui& windows) : process(owner), ui(windows) {}

    ~State()
    {
        for (const auto& [value, hwnd] : watched)
            RemoveWindowSubclass(hwnd, &WindowWatch, value);
        // A bitmap must not be freed while a control still shows it.
        for (const auto& [key, bitmap] : pictures) {
            const HWND control =
                static_cast<HWND>(ui.nativeHandle(ControlId{WindowId{key.first}, key.second}));
            if (control != nullptr)
                SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, 0);
        }
    }

    void watch(WindowId window, HWND hwnd)
    {
        if (watched.contains(window.value))
            return;
        if (SetWindowSubclass(hwnd, &WindowWatch, window.value, reinterpret_cast<DWORD_PTR>(this)))
            watched.emplace(window.value, hwnd);
    }

    // The window is going: what this object made for it goes with it.
    void forget(std::uint32_t window)
    {
        icons.erase(window);
        pictures.erase(pictures.lower_bound({window, INT_MIN}), pictures.upper_bound({window, INT_MAX}));
        watched.erase(window);
    }
};

namespace {

LRESULT CALLBACK WindowWatch(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR windowValue,
                             DWORD_PTR statePointer)
{
    if (message == WM_NCDESTROY) {
        auto* state = reinterpret_cast<Win32WindowImages::State*>(statePointer);
        RemoveWindowSubclass(hwnd, &WindowWatch, windowValue);
        // Its children, the pictures, are gone already; the window's icons are
        // not drawn any more.
        state->forget(static_cast<std::uint32_t>(windowValue));
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

Win32WindowImages::Win32WindowImages(Win32Process& process, Win32Ui& ui)
    : state_(std::make_unique<State>(process, ui))
{
}

Win32WindowImages::~Win32WindowImages() = default;

bool Win32WindowImages::setWindowIcon(WindowId window, std::span<const unsigned char> iconFile)
{
    State& state = *state_;
    const HWND hwnd = static_cast<HWND>(state.ui.nativeHandle(ControlId{window, -1}));
    if (hwnd == nullptr)
        return false;
    // The title bar and taskbar take the small size; Alt+Tab the image's own.
    UniqueIcon big = IconFromFile(iconFile);
    UniqueIcon small = IconFromFile(iconFile, GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON));
    if (!big || !small)
        return false;
    try {
        state.watch(window, hwnd);
        SendMessageW(hwnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big.get()));
        SendMessageW(hwnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small.get()));
        // The icons the window showed before, if they were made here, are freed now.
        State::WindowIcons& icons = state.icons[window.value];
        icons.big = std::move(big);
        icons.small = std::move(small);
    } catch (const std::bad_alloc&) {
        state.process.fatalError(kOutOfMemoryMessage);
    }
    return true;
}

bool Win32WindowImages::setPicture(ControlId picture, std::span<const unsigned char> png)
{
    State& state = *state_;
    const HWND hwnd = picture.index >= 0 ? static_cast<HWND>(state.ui.nativeHandle(picture)) : nullptr;
    if (hwnd == nullptr || !IsBitmapStatic(hwnd))
        return false;
    RECT client{};
    GetClientRect(hwnd, &client);
    try {
        UniqueBitmap bitmap = DecodeFitted(png, {client.right - client.left, client.bottom - client.top},
                                           GetSysColor(COLOR_BTNFACE));
        if (!bitmap)
            return false;
        state.watch(picture.window, static_cast<HWND>(state.ui.nativeHandle(ControlId{picture.window, -1})));
        UniqueBitmap& kept = state.pictures[{picture.window.value, picture.index}];
        const auto previous = reinterpret_cast<HBITMAP>(
            SendMessageW(hwnd, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.get())));
        // A bitmap the control made of its own from an earlier image is the caller's to free.
        if (previous != nullptr && previous != kept.get())
            DeleteObject(previous);
        kept = std::move(bitmap);
    } catch (const std::bad_alloc&) {
        state.process.fatalError(kOutOfMemoryMessage);
    }
    return true;
}

}  // namespace brenvik::win32
