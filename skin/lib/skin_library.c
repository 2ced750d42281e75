/* The guide's skin library: a small i386 Windows DLL without C runtime.
 *
 * SkinH_AttachRes(data, length, password, number1, number2, number3) reads a
 * skin file (format in SKIN_FORMAT.md) and applies its colours to the system
 * colours with User32's SetSysColors. It works only after DllMain has run for
 * process attach, which builds the name table the parser needs; before that,
 * and after process detach, it refuses with 0.
 *
 * Built freestanding: no library calls, no memcpy/memset, no 64-bit
 * arithmetic that would need libgcc, small stack frames (no __chkstk).
 */

typedef unsigned char u8;
typedef unsigned short u16;
typedef unsigned int u32;

#define DLL_PROCESS_DETACH 0
#define DLL_PROCESS_ATTACH 1

__declspec(dllimport) int __stdcall SetSysColors(int count, const int* elements,
                                                 const u32* colours);

enum { kColourCount = 31, kMaxEntries = 64, kMaxName = 31, kHeaderSize = 8, kVersion = 1 };

/* The colour names of the skin file, by system colour index; index 25 has
 * no colour. Pointers in a constant table: the image carries relocations. */
static const char* const kColourNames[kColourCount] = {
    "scrollbar",
    "desktop",
    "activecaption",
    "inactivecaption",
    "menu",
    "window",
    "windowframe",
    "menutext",
    "windowtext",
    "captiontext",
    "activeborder",
    "inactiveborder",
    "appworkspace",
    "highlight",
    "highlighttext",
    "buttonface",
    "buttonshadow",
    "graytext",
    "buttontext",
    "inactivecaptiontext",
    "buttonhighlight",
    "3ddarkshadow",
    "3dlight",
    "infotext",
    "infobackground",
    0,
    "hotlight",
    "gradientactivecaption",
    "gradientinactivecaption",
    "menuhighlight",
    "menubar",
};

/* Filled at process attach: the length of each name, 0 for none. */
static u8 g_nameLength[kColourCount];
static int g_ready;

static u32 read16(const u8* p) {
    return (u32)p[0] | (u32)p[1] << 8;
}
static u32 read32(const u8* p) {
    return (u32)p[0] | (u32)p[1] << 8 | (u32)p[2] << 16 | (u32)p[3] << 24;
}

/* The colour index of a name of `length` bytes, or -1. */
static int colourIndex(const u8* name, u32 length) {
    for (int i = 0; i < kColourCount; ++i) {
        if (g_nameLength[i] != length) continue;
        const char* known = kColourNames[i];
        u32 k = 0;
        while (k < length && (u8)known[k] == name[k]) ++k;
        if (k == length) return i;
    }
    return -1;
}

int __stdcall DllMain(void* instance, u32 reason, void* reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        for (int i = 0; i < kColourCount; ++i) {
            u32 n = 0;
            if (kColourNames[i])
                while (kColourNames[i][n]) ++n;
            g_nameLength[i] = (u8)n;
        }
        g_ready = 1;
    } else if (reason == DLL_PROCESS_DETACH) {
        g_ready = 0;
    }
    return 1;
}

/* Returns 1 when the skin's colours were applied, 0 when the library is not
 * initialised, the data is not a valid skin file, or SetSysColors refused.
 * The password and the three numbers are accepted and not used: skin files of
 * this format are not encrypted and have no options. */
__declspec(dllexport) u32
    __stdcall SkinH_AttachRes(const u8* data, u32 length, const char* password, u32 number1,
                              u32 number2, u32 number3) {
    (void)password;
    (void)number1;
    (void)number2;
    (void)number3;
    if (!g_ready || !data || length < kHeaderSize) return 0;
    if (data[0] != '.' || data[1] != 'S' || data[2] != 'H' || data[3] != 'E') return 0;
    if (read16(data + 4) != kVersion) return 0;
    u32 count = read16(data + 6);
    if (count > kMaxEntries) return 0;

    u32 at = kHeaderSize;
    if (at >= length) return 0;
    u32 titleLength = data[at];
    if (titleLength > length - at - 1) return 0;
    at += 1 + titleLength;

    int indexes[kMaxEntries];
    u32 colours[kMaxEntries];
    int applied = 0;
    for (u32 e = 0; e < count; ++e) {
        if (at >= length) return 0;
        u32 nameLength = data[at];
        if (nameLength == 0 || nameLength > kMaxName || length - at - 1 < nameLength + 4) return 0;
        const u8* name = data + at + 1;
        u32 colour = read32(name + nameLength);
        if (colour > 0x00FFFFFF) return 0;
        at += 1 + nameLength + 4;
        int index = colourIndex(name, nameLength);
        if (index < 0) continue; /* a colour this library does not know: skipped */
        indexes[applied] = index;
        colours[applied] = colour;
        ++applied;
    }
    if (at != length) return 0;
    if (applied == 0) return 1;
    return SetSysColors(applied, indexes, colours) ? 1 : 0;
}
