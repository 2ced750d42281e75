#include "skin/declarations.h"

#include <charconv>

#include "runtime/values/gbk.h"

namespace skin {

const std::vector<Declaration>& programDeclarations() {
    static const std::vector<Declaration> table = {
        {"", "CreateWaitableTimerA"},
        {"", "SetWaitableTimer"},
        {"", "MsgWaitForMultipleObjects"},
        {"kernel32", "CloseHandle"},
        {"", "lstrcpyn"},
        {"", "lstrcpyn"},
        {"", "lstrcpynA"},
        {"", "RtlMoveMemory"},
        {"", "RtlMoveMemory"},
        {"", "RtlMoveMemory"},
        {"", "RtlMoveMemory"},
        {"", "VirtualAlloc"},
        {"", "RtlMoveMemory"},
        {"", "RtlMoveMemory"},
        {"", "RtlMoveMemory"},
        {"", "RtlMoveMemory"},
        {"", "LoadLibraryA"},
        {"", "RtlMoveMemory"},
        {"", "GetProcAddress"},
        {"", "VirtualFree"},
        {"", "RtlMoveMemory"},
    };
    return table;
}

namespace {

const char* const kDefaultLibraries[] = {"Kernel32.dll", "Gdi32.dll", "User32.dll",
                                         "Advapi32.dll", "Mpr.dll",   "Shell32.dll"};

rt::Text format(std::string_view utf8Template, std::initializer_list<std::string_view> parts) {
    rt::Text t = rt::gbk(utf8Template), out;
    auto part = parts.begin();
    for (std::size_t i = 0; i < t.size(); ++i) {
        if (t[i] == '%' && i + 1 < t.size() && t[i + 1] == 's' && part != parts.end()) {
            out += *part++;
            ++i;
        } else {
            out += t[i];
        }
    }
    return out;
}

}  // namespace

Declarations::Declarations(SystemLibraries& layer, FatalReporter& reporter,
                           std::vector<Declaration> table, LibraryDirectories dirs)
    : layer_(layer),
      reporter_(reporter),
      table_(std::move(table)),
      dirs_(std::move(dirs)),
      cache_(table_.size()) {}

Declarations::~Declarations() {
    for (const Resolved& r : cache_)
        if (r.library) layer_.release(r.library);
}

// Windows exports only lstrcpynA and lstrcpynW; a declaration naming
// "lstrcpyn" means the ANSI one. Like other runtimes with declared functions,
// resolution tries the name as written and then with "A" appended, in the same
// library, before moving on. GetProcAddress itself stays exact.
GuestAddress Declarations::lookupWithAnsiFallback(std::uint32_t module, const Declaration& d) {
    if (!d.function.empty() && d.function[0] == '#') {
        unsigned long long n = 0;
        std::from_chars(d.function.data() + 1, d.function.data() + d.function.size(), n);
        return layer_.lookupOrdinal(module, std::uint16_t(n & 0xFFFF));
    }
    if (GuestAddress a = layer_.lookup(module, d.function)) return a;
    return layer_.lookup(module, d.function + "A");
}

GuestAddress Declarations::resolve(int index) {
    Resolved& r = cache_[index];
    if (r.address) return r.address;
    const Declaration& d = table_[index];
    std::uint32_t module = 0;
    GuestAddress address = 0;
    if (d.library.empty()) {
        for (const char* name : kDefaultLibraries) {
            std::uint32_t m = layer_.load(name);
            if (!m) continue;
            address = lookupWithAnsiFallback(m, d);
            if (address) {
                module = m;
                break;
            }
            layer_.release(m);
        }
    } else {
        if (d.library.find(':') != std::string::npos) {
            module = layer_.load(d.library);
        } else {
            if (!module && !dirs_.library.empty()) module = layer_.load(dirs_.library + d.library);
            if (!module && !dirs_.base.empty()) module = layer_.load(dirs_.base + "\\" + d.library);
            if (!module && !dirs_.second.empty()) module = layer_.load(dirs_.second + d.library);
            if (!module) module = layer_.load(d.library);
        }
        if (module) address = lookupWithAnsiFallback(module, d);
    }
    if (address) {
        r = {address, module};
        return address;
    }
    if (module) layer_.release(module);
    if (d.library.empty())
        reporter_.fatal(0, format("无法找到指定DLL库文件中的输出命令“%s”", {d.function}));
    else
        reporter_.fatal(
            0, format("无法找到指定DLL库文件“%s”中的输出命令“%s”", {d.library, d.function}));
    return 0;
}

std::uint32_t Declarations::call(int index, std::span<const std::uint32_t> args) {
    if (index < 0 || std::size_t(index) >= table_.size()) return 0;
    GuestAddress address = resolve(index);
    if (!address) return 0;
    const SystemExport* e = layer_.exportAt(address);
    // The stack check: a function taking another number of arguments than
    // were passed would leave the stack unbalanced. Caught before the call,
    // so the function never sees the wrong arguments.
    if (!e || e->argumentCount != args.size()) {
        reporter_.fatal(kStackErrorNumber, rt::gbk("调用DLL命令后发现堆栈错误"));
        return 0;
    }
    // An access fault in a host function: the loader checks ranges before
    // calling, so this means a caller's bug; the call yields 0.
    return layer_.invoke(address, args).value_or(0);
}

GuestAddress Declarations::addressOf(std::span<const std::uint8_t> bytes) {
    if (bytes.empty()) return 0;
    auto p = space().addressOf(bytes.data(), bytes.size());
    if (!p) return 0;
    return call(Decl::AddressOfBytes, {*p, *p, 0});
}

GuestAddress Declarations::addressOfText(std::string_view guestText) {
    if (guestText.empty()) return 0;
    auto p = space().addressOf(guestText.data(), guestText.size() + 1);  // with its NUL
    if (!p) return 0;
    return call(Decl::AddressOfText, {*p, *p, 0});
}

}  // namespace skin
