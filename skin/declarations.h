// The program's declared external functions: a fixed table of (library,
// function) pairs resolved on first call through the system-library layer,
// with the runtime's fatal reports for a name no library exports and for a
// call whose arguments do not match the function (the stack check).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <vector>

#include "skin/fatal_reporter.h"
#include "skin/system_libraries.h"

namespace skin {

struct Declaration {
    std::string library;   // empty: search the default libraries
    std::string function;  // an export name, or "#" and a decimal ordinal
};

// The program's 21 declarations, by index.
enum class Decl : int {
    CreateWaitableTimerA,
    SetWaitableTimer,
    MsgWaitForMultipleObjects,
    CloseHandle,
    AddressOfBytes,
    AddressOfText,
    AddressOfImage,  // lstrcpyn, lstrcpyn, lstrcpynA
    ReadDosHeader,
    ReadNtHeaders,
    ReadSectionHeader,
    CopyIntoImage,
    AllocateImage,
    ReadRelocationBlock,
    ReadRelocationEntry,
    WriteImageWord,
    ReadImportDescriptor,
    LoadImportLibrary,
    ReadWord,
    BindImport,
    ReleaseImage,
    ReadExportDirectory,
};
const std::vector<Declaration>& programDeclarations();

// Where the runtime looks for a named library before the system search; all
// unset in this program, so the system search decides.
struct LibraryDirectories {
    std::string library;  // tried as library + name
    std::string base;     // tried as base + "\" + name
    std::string second;   // tried as second + name
};

class Declarations {
  public:
    Declarations(SystemLibraries& layer, FatalReporter& reporter,
                 std::vector<Declaration> table = programDeclarations(),
                 LibraryDirectories dirs = {});
    Declarations(const Declarations&) = delete;
    Declarations& operator=(const Declarations&) = delete;
    ~Declarations();  // releases the libraries resolution loaded

    // Calls declaration `index` with the function's own arguments. An
    // unresolvable name and an argument count other than the function's are
    // fatal (reported, then 0 should the reporter return).
    std::uint32_t call(int index, std::span<const std::uint32_t> args);
    std::uint32_t call(Decl d, std::initializer_list<std::uint32_t> args) {
        return call(int(d), std::span<const std::uint32_t>(args.begin(), args.size()));
    }

    // AddressOf: the guest address of a guest-resident value's first byte, by
    // the zero-length lstrcpyn idiom; 0 for an empty value or one that does
    // not live in guest memory.
    GuestAddress addressOf(std::span<const std::uint8_t> bytes);
    GuestAddress addressOfText(std::string_view guestText);

    SystemLibraries& layer() { return layer_; }
    GuestSpace& space() { return layer_.space(); }

  private:
    struct Resolved {
        GuestAddress address = 0;
        std::uint32_t library = 0;
    };
    GuestAddress resolve(int index);
    GuestAddress lookupWithAnsiFallback(std::uint32_t module, const Declaration& d);

    SystemLibraries& layer_;
    FatalReporter& reporter_;
    std::vector<Declaration> table_;
    LibraryDirectories dirs_;
    std::vector<Resolved> cache_;
};

}  // namespace skin
