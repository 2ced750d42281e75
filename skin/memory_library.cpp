#include "skin/memory_library.h"

#include <charconv>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "skin/pe_layout.h"
#include "skin/virtual_memory_flags.h"

namespace skin {

namespace {

using namespace pe;

using namespace vm;
constexpr std::uint32_t kMemCommitReserve = kMemCommit | kMemReserve;
// Larger than any library this program maps; refusing it keeps a corrupt
// header from reserving most of the low address space.
constexpr std::uint32_t kMaxImageSize = 256u << 20;

// A guest range [begin, end) that reads and writes must stay inside.
struct Bounds {
    std::uint64_t begin = 0, end = 0;
    bool holds(std::uint64_t address, std::uint64_t length) const {
        return address >= begin && address <= end && length <= end - address;
    }
};

// Reads records through the declared functions into scratch memory, after
// checking them against the given bounds. A record stays valid until the next
// read.
class Records {
  public:
    static constexpr std::uint32_t kRecordMax = 256, kWord = 256, kValue = 260, kText = 272,
                                   kSize = 320;

    explicit Records(Declarations& d) : d_(d), scratch_(d.space().scratch(kSize)) {}
    bool usable() const { return bool(scratch_); }

    const std::uint8_t* read(Decl which, std::uint64_t src, std::uint32_t length, const Bounds& b) {
        if (!scratch_ || length > kRecordMax || !b.holds(src, length)) return nullptr;
        d_.call(which, {scratch_.address(), std::uint32_t(src), length});
        return scratch_.data();
    }
    // A 16- or 32-bit value, into a 32-bit variable whose upper half is zero.
    std::optional<std::uint32_t> value(Decl which, std::uint64_t src, std::uint32_t length,
                                       const Bounds& b) {
        if (!scratch_ || !b.holds(src, length)) return std::nullopt;
        std::memset(scratch_.data() + kWord, 0, 4);
        d_.call(which, {scratch_.address() + kWord, std::uint32_t(src), length});
        return le32(scratch_.data() + kWord);
    }
    bool write32(std::uint64_t dest, std::uint32_t v, const Bounds& b) {
        if (!scratch_ || !b.holds(dest, 4)) return false;
        std::memcpy(scratch_.data() + kValue, &v, 4);
        d_.call(Decl::WriteImageWord, {std::uint32_t(dest), scratch_.address() + kValue, 4});
        return true;
    }
    // A short NUL-terminated text in guest memory (an ordinal's decimal form).
    GuestAddress text(const std::string& s) {
        if (!scratch_ || s.size() + 1 > kSize - kText) return 0;
        std::memcpy(scratch_.data() + kText, s.c_str(), s.size() + 1);
        return d_.addressOfText(
            std::string_view(reinterpret_cast<const char*>(scratch_.data() + kText), s.size()));
    }

  private:
    Declarations& d_;
    GuestSpace::Scratch scratch_;
};

struct Headers {
    std::uint32_t lfanew = 0;
    std::uint16_t numberOfSections = 0;
    std::uint16_t characteristics = 0;
    std::uint32_t entryPoint = 0, imageBase = 0, sectionAlignment = 0, sizeOfImage = 0;
    std::uint32_t dirAddress[16] = {}, dirSize[16] = {};
};

struct Section {
    std::uint32_t virtualSize, virtualAddress, sizeOfRawData, pointerToRawData;
};

// Reads and checks the DOS and NT headers at `at`, both inside `b`.
ImageError readHeaders(Records& r, std::uint64_t at, const Bounds& b, Headers& h) {
    const std::uint8_t* dosHeader = r.read(Decl::ReadDosHeader, at, kDosHeaderSize, b);
    if (!dosHeader) return ImageError::TooSmall;
    if (le16(dosHeader + dos::e_magic) != kDosMagic) return ImageError::BadDosMagic;
    h.lfanew = le32(dosHeader + dos::e_lfanew);
    const std::uint8_t* n = r.read(Decl::ReadNtHeaders, at + h.lfanew, kNtHeadersSize, b);
    if (!n) return ImageError::NtHeadersOutOfImage;
    if (le32(n + nt::Signature) != kNtSignature) return ImageError::BadPeSignature;
    h.numberOfSections = le16(n + nt::NumberOfSections);
    h.characteristics = le16(n + nt::Characteristics);
    h.entryPoint = le32(n + nt::AddressOfEntryPoint);
    h.imageBase = le32(n + nt::ImageBase);
    h.sectionAlignment = le32(n + nt::SectionAlignment);
    h.sizeOfImage = le32(n + nt::SizeOfImage);
    for (int i = 0; i < 16; ++i) {
        h.dirAddress[i] = le32(n + nt::DataDirectory + 8 * i);
        h.dirSize[i] = le32(n + nt::DataDirectory + 8 * i + 4);
    }
    return ImageError::None;
}

// The mapped region of a loaded image, as far as guest memory has it.
Bounds regionBounds(GuestSpace& space, GuestAddress handle) {
    auto region = space.regionOf(handle);
    if (!region) return {};
    return {handle, std::uint64_t(region->first) + region->second};
}

// The entry point's answer; guest code that faults counts as refusing.
struct EntryAnswer {
    bool returned = false;
    std::uint32_t value = 0;
};

EntryAnswer callEntry(GuestSpace& space, GuestAddress entry, std::uint32_t reason) {
    const std::uint32_t args[] = {0, reason, 0};  // instance 0, not the base
    GuestCallResult r = space.call(entry, args);
    return {r.ok, r.ok ? r.value : 0};
}

// "12" and "-3" are canonical; "012", "+3", " 3" and "" are not.
std::optional<std::int32_t> canonicalInteger(std::string_view s) {
    std::int32_t v = 0;
    auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    if (ec != std::errc() || end != s.data() + s.size()) return std::nullopt;
    if (std::to_string(v) != s) return std::nullopt;
    return v;
}

// A stored NUL-terminated name equal to `name`, all inside `b`.
bool nameAt(GuestSpace& space, std::uint64_t at, std::string_view name, const Bounds& b) {
    if (!b.holds(at, name.size() + 1)) return false;
    const std::uint8_t* p = space.pointer(std::uint32_t(at), name.size() + 1);
    return p && std::memcmp(p, name.data(), name.size()) == 0 && p[name.size()] == 0;
}

// A NUL-terminated string that starts and ends inside `b`.
bool terminatedIn(GuestSpace& space, std::uint64_t at, const Bounds& b) {
    if (!b.holds(at, 1)) return false;
    auto n = space.stringLength(std::uint32_t(at));
    return n && b.holds(at, std::uint64_t(*n) + 1);
}

class Loader {
  public:
    Loader(Declarations& d, GuestAddress p, std::uint32_t len)
        : d_(d), space_(d.space()), r_(d), p_(p), len_(len) {}

    // On success the mapped base is base().
    ImageError run(GuestAddress resolver, std::uint32_t userValue);
    GuestAddress base() const { return base_; }

  private:
    ImageError validate();
    ImageError map();
    ImageError relocate();
    ImageError bindImports(GuestAddress resolver, std::uint32_t userValue);
    ImageError runEntryPoint();
    void releaseRegion() { d_.call(Decl::ReleaseImage, {base_, 0, kMemRelease}); }

    Declarations& d_;
    GuestSpace& space_;
    Records r_;
    GuestAddress p_;
    std::uint32_t len_;
    Bounds image_, region_;
    Headers h_;
    std::vector<Section> sections_;
    GuestAddress base_ = 0;
};

ImageError Loader::run(GuestAddress resolver, std::uint32_t userValue) {
    if (!r_.usable()) return ImageError::NoMemory;
    if (ImageError e = validate(); e != ImageError::None) return e;
    if (ImageError e = map(); e != ImageError::None) return e;
    ImageError e = ImageError::None;
    if (h_.dirSize[nt::kRelocationDirectory] > 0) e = relocate();
    if (e == ImageError::None && h_.dirAddress[nt::kImportDirectory] > 0)
        e = bindImports(resolver, userValue);
    if (e != ImageError::None) {
        releaseRegion();
        return e;
    }
    if (h_.characteristics & kDll) return runEntryPoint();
    return ImageError::None;
}

ImageError Loader::validate() {
    image_ = {p_, std::uint64_t(p_) + len_};
    if (len_ < kDosHeaderSize) return ImageError::TooSmall;
    // Also refuses e_lfanew + 248 beyond the end.
    if (ImageError e = readHeaders(r_, p_, image_, h_); e != ImageError::None) return e;
    if (!(h_.characteristics & kExecutableImage)) return ImageError::NotExecutable;
    if (std::int16_t(h_.numberOfSections) > kMaxSections || std::int16_t(h_.numberOfSections) < 0)
        return ImageError::TooManySections;
    const std::uint64_t table = std::uint64_t(p_) + h_.lfanew + kNtHeadersSize;
    if (!image_.holds(table, std::uint64_t(kSectionHeaderSize) * h_.numberOfSections))
        return ImageError::SectionTableOutOfImage;

    std::uint64_t sizeOfImage = h_.sizeOfImage;
    for (std::uint32_t i = 0; i < h_.numberOfSections; ++i) {
        const std::uint8_t* s = r_.read(Decl::ReadSectionHeader, table + kSectionHeaderSize * i,
                                        kSectionHeaderSize, image_);
        if (!s) return ImageError::SectionTableOutOfImage;
        Section sec{le32(s + section::VirtualSize), le32(s + section::VirtualAddress),
                    le32(s + section::SizeOfRawData), le32(s + section::PointerToRawData)};
        sections_.push_back(sec);
        // Only the low 16 bits of VirtualSize count here, as they always have.
        std::uint64_t extent = std::uint64_t(sec.virtualAddress) +
                               std::max<std::uint64_t>(sec.sizeOfRawData, sec.virtualSize & 0xFFFF);
        std::uint64_t a = h_.sectionAlignment;
        if (a == 0) return ImageError::ZeroSectionAlignment;
        extent = (extent + a - 1) / a * a;
        if (extent > sizeOfImage) sizeOfImage = extent;
    }
    if (sizeOfImage == 0 || sizeOfImage > kMaxImageSize) return ImageError::BadImageSize;
    h_.sizeOfImage = std::uint32_t(sizeOfImage);
    // The header copy must fit the region, and every section's file data the
    // image (its place in the region is covered by the extent above).
    if (std::uint64_t(h_.lfanew) + kNtHeadersSize + kSectionHeaderSize * h_.numberOfSections >
        h_.sizeOfImage)
        return ImageError::HeadersOutOfRegion;
    // An entry point past the image would run whatever guest memory lies there.
    if ((h_.characteristics & kDll) && h_.entryPoint >= h_.sizeOfImage)
        return ImageError::EntryPointOutOfImage;
    for (const Section& s : sections_)
        if (s.sizeOfRawData > 0 && s.virtualAddress != 0 &&
            !image_.holds(std::uint64_t(p_) + s.pointerToRawData, s.sizeOfRawData))
            return ImageError::SectionDataOutOfImage;
    return ImageError::None;
}

ImageError Loader::map() {
    base_ = d_.call(Decl::AllocateImage,
                    {h_.imageBase, h_.sizeOfImage, kMemCommitReserve, kPageExecuteReadWrite});
    if (!base_)
        base_ = d_.call(Decl::AllocateImage,
                        {0, h_.sizeOfImage, kMemCommitReserve, kPageExecuteReadWrite});
    if (!base_) return ImageError::NoMemory;
    region_ = {base_, std::uint64_t(base_) + h_.sizeOfImage};
    std::uint32_t headerBytes =
        h_.lfanew + kNtHeadersSize + kSectionHeaderSize * h_.numberOfSections;
    d_.call(Decl::CopyIntoImage, {base_, p_, headerBytes});
    for (const Section& s : sections_) {
        if (s.sizeOfRawData == 0 || s.virtualAddress == 0) continue;
        if (!region_.holds(std::uint64_t(base_) + s.virtualAddress,
                           s.sizeOfRawData)) {  // cannot happen after validate
            releaseRegion();
            return ImageError::SectionDataOutOfImage;
        }
        d_.call(Decl::CopyIntoImage,
                {base_ + s.virtualAddress, p_ + s.pointerToRawData, s.sizeOfRawData});
    }
    return ImageError::None;
}

// Relocations are applied even at delta 0. The walk ends at a block whose
// page is 0; a block that leaves the region or cannot advance is malformed.
ImageError Loader::relocate() {
    const std::uint32_t delta = base_ - h_.imageBase;
    std::uint64_t at = std::uint64_t(base_) + h_.dirAddress[nt::kRelocationDirectory];
    for (;;) {
        const std::uint8_t* block =
            r_.read(Decl::ReadRelocationBlock, at, kRelocationBlockSize, region_);
        if (!block) return ImageError::RelocationOutOfImage;
        const std::uint32_t page = le32(block), sizeOfBlock = le32(block + 4);
        if (page == 0) return ImageError::None;
        if (sizeOfBlock < kRelocationBlockSize) return ImageError::RelocationBlockTooShort;
        if (!region_.holds(at, sizeOfBlock)) return ImageError::RelocationOutOfImage;
        const std::uint32_t entries = (sizeOfBlock - kRelocationBlockSize) / 2;
        for (std::uint32_t i = 0; i < entries; ++i) {
            auto e =
                r_.value(Decl::ReadRelocationEntry, at + kRelocationBlockSize + 2 * i, 2, region_);
            if (!e) return ImageError::RelocationOutOfImage;
            if ((*e >> 12) != relocation::kHighLow) continue;
            const std::uint64_t target = std::uint64_t(base_) + page + (*e & 0x0FFF);
            auto v = r_.value(Decl::ReadWord, target, 4, region_);
            if (!v || !r_.write32(target, *v + delta, region_))
                return ImageError::RelocationTargetOutOfImage;
        }
        at += sizeOfBlock;
    }
}

ImageError Loader::bindImports(GuestAddress resolver, std::uint32_t userValue) {
    std::uint64_t at = std::uint64_t(base_) + h_.dirAddress[nt::kImportDirectory];
    for (;; at += kImportDescriptorSize) {
        const std::uint8_t* desc =
            r_.read(Decl::ReadImportDescriptor, at, kImportDescriptorSize, region_);
        if (!desc) return ImageError::ImportTableOutOfImage;
        const std::uint32_t nameRva = le32(desc + import::Name),
                            firstThunk = le32(desc + import::FirstThunk);
        if (firstThunk == 0) return ImageError::None;
        const std::uint64_t libraryName = std::uint64_t(base_) + nameRva;
        if (!terminatedIn(space_, libraryName, region_)) return ImageError::ImportNameOutOfImage;
        const std::uint32_t module = d_.call(Decl::LoadImportLibrary, {std::uint32_t(libraryName)});
        for (std::uint64_t slot = std::uint64_t(base_) + firstThunk;; slot += 4) {
            auto v = r_.value(Decl::ReadWord, slot, 4, region_);
            if (!v) return ImageError::ImportTableOutOfImage;
            if (*v == 0) break;
            GuestAddress procName = 0;
            std::uint32_t key = 0;
            if (!(*v & 0x80000000u)) {
                const std::uint64_t name = std::uint64_t(base_) + *v + 2;  // past the hint
                if (!terminatedIn(space_, name, region_)) return ImageError::ImportNameOutOfImage;
                procName = key = std::uint32_t(name);
            } else {
                key = *v & 0xFFFF;
                procName = r_.text(std::to_string(key));
            }
            GuestAddress address = 0;
            if (resolver) {
                const std::uint32_t args[] = {std::uint32_t(libraryName), procName, userValue};
                GuestCallResult c = space_.call(resolver, args);
                address = c.ok ? c.value : 0;
            }
            if (!address) address = d_.call(Decl::BindImport, {module, key});
            if (!address)
                return module ? ImageError::ImportNameMissing : ImageError::ImportModuleMissing;
            if (!r_.write32(slot, address, region_)) return ImageError::ImportTableOutOfImage;
        }
    }
}

ImageError Loader::runEntryPoint() {
    // A library without an entry point (address 0) has nothing to run; calling
    // base + 0 would execute the DOS header.
    if (h_.entryPoint == 0) return ImageError::None;
    const GuestAddress entry = base_ + h_.entryPoint;
    const EntryAnswer attach = callEntry(space_, entry, 1);
    if (attach.value != 0) return ImageError::None;
    callEntry(space_, entry, 0);
    releaseRegion();
    return attach.returned ? ImageError::EntryPointRefused : ImageError::EntryPointFaulted;
}

}  // namespace

ImageResult MemoryLibrary::loadFromMemory(std::span<const std::uint8_t> image,
                                          GuestAddress resolver, std::uint32_t userValue) {
    if (handle_ != 0) unload();
    if (image.size() < kDosHeaderSize) return {ImageError::TooSmall};
    if (image.size() > 0xFFFFFFFFu) return {ImageError::TooLarge};
    GuestSpace& space = d_->space();
    // Host memory lies above 4 GiB; an image outside guest memory is read
    // from a guest copy that lives for this load.
    GuestAddress staged = 0;
    if (!space.addressOf(image.data(), image.size())) {
        staged = space.allocate(0, std::uint32_t(image.size()));
        if (!staged) return {ImageError::NoMemory};
        std::memcpy(space.pointer(staged, image.size()), image.data(), image.size());
    }
    const std::uint8_t* data = staged ? space.pointer(staged, image.size()) : image.data();
    ImageError error;
    GuestAddress base = 0;
    {
        GuestAddress p =
            d_->call(Decl::AddressOfImage, {*space.addressOf(data, image.size()), 0, 0});
        Loader loader(*d_, p, std::uint32_t(image.size()));
        error = loader.run(resolver, userValue);
        base = loader.base();
    }
    if (staged) space.release(staged);
    if (error == ImageError::None) handle_ = base;
    return {error};
}

ImageResult MemoryLibrary::unload() {
    if (handle_ == 0) return {};
    Records r(*d_);
    const Bounds region = regionBounds(d_->space(), handle_);
    Headers h;
    if (readHeaders(r, handle_, region, h) != ImageError::None) return {ImageError::DamagedHeaders};
    if ((h.characteristics & kDll) && h.entryPoint != 0 &&
        region.holds(std::uint64_t(handle_) + h.entryPoint, 1))
        callEntry(d_->space(), handle_ + h.entryPoint, 0);
    if (d_->call(Decl::ReleaseImage, {handle_, 0, kMemRelease}) == 0)
        return {ImageError::ReleaseRefused};
    handle_ = 0;
    return {};
}

// Linkers give every name a function of its own and index the address table
// by 16 bits, so a directory with more names than functions, or more than
// 65536, was written to make the name walk long: it is refused before the
// walk, which then takes at most 65536 steps of two reads each.
MemoryLibrary::ExportLookup MemoryLibrary::findProcedure(std::string_view name) const {
    if (handle_ == 0) return {0, ImageError::NotLoaded};
    GuestSpace& space = d_->space();
    Records r(*d_);
    const Bounds region = regionBounds(space, handle_);
    Headers h;
    if (readHeaders(r, handle_, region, h) != ImageError::None)
        return {0, ImageError::DamagedHeaders};
    if (h.dirSize[nt::kExportDirectory] == 0) return {0, ImageError::NoExports};
    const std::uint32_t dirRva = h.dirAddress[nt::kExportDirectory],
                        dirSize = h.dirSize[nt::kExportDirectory];
    const std::uint8_t* dir = r.read(Decl::ReadExportDirectory, std::uint64_t(handle_) + dirRva,
                                     kExportDirectorySize, region);
    if (!dir) return {0, ImageError::ExportDirectoryOutOfImage};
    const std::uint32_t ordinalBase = le32(dir + exports::Base),
                        functions = le32(dir + exports::NumberOfFunctions),
                        names = le32(dir + exports::NumberOfNames),
                        functionTable = le32(dir + exports::AddressOfFunctions),
                        nameTable = le32(dir + exports::AddressOfNames),
                        ordinalTable = le32(dir + exports::AddressOfNameOrdinals);

    // A forwarded export's RVA points at its forwarder text inside the
    // export directory: it is not code here; nor is an RVA past the image.
    // nullopt for an empty slot (RVA 0).
    auto procedureAt = [&](std::uint32_t index) -> std::optional<ExportLookup> {
        auto rva = r.value(Decl::ReadWord, std::uint64_t(handle_) + functionTable + 4ull * index, 4,
                           region);
        if (!rva) return ExportLookup{0, ImageError::ExportTableOutOfImage};
        if (*rva == 0) return std::nullopt;
        if (*rva >= dirRva && std::uint64_t(*rva) < std::uint64_t(dirRva) + dirSize)
            return ExportLookup{0, ImageError::ExportForwarded};
        if (!region.holds(std::uint64_t(handle_) + *rva, 1))
            return ExportLookup{0, ImageError::ExportOutOfImage};  // not this image's code
        return ExportLookup{handle_ + *rva, ImageError::None};
    };

    if (auto ordinal = canonicalInteger(name)) {
        const std::int64_t index = std::int64_t(*ordinal) - ordinalBase;
        if (index < 0 || index >= std::int64_t(functions)) return {0, ImageError::ExportNotFound};
        return procedureAt(std::uint32_t(index))
            .value_or(ExportLookup{0, ImageError::ExportNotFound});
    }
    if (names > functions || names > 0x10000) return {0, ImageError::ExportCountsInconsistent};
    // Both name tables lie inside the image, or no name is looked up.
    if (!region.holds(std::uint64_t(handle_) + nameTable, 4ull * names) ||
        !region.holds(std::uint64_t(handle_) + ordinalTable, 2ull * names))
        return {0, ImageError::ExportTableOutOfImage};
    for (std::uint32_t i = 0; i < names; ++i) {
        auto nameRva =
            r.value(Decl::ReadWord, std::uint64_t(handle_) + nameTable + 4ull * i, 4, region);
        auto index =
            r.value(Decl::ReadWord, std::uint64_t(handle_) + ordinalTable + 2ull * i, 2, region);
        if (!nameRva || !index) return {0, ImageError::ExportTableOutOfImage};
        if (*index >= functions || !nameAt(space, std::uint64_t(handle_) + *nameRva, name, region))
            continue;
        if (auto found = procedureAt(*index)) return *found;
    }
    return {0, ImageError::ExportNotFound};
}

GuestAddress MemoryLibrary::getEntryPoint() const {
    if (handle_ == 0) return 0;
    Records r(*d_);
    const Bounds region = regionBounds(d_->space(), handle_);
    const std::uint8_t* dosHeader = r.read(Decl::ReadDosHeader, handle_, kDosHeaderSize, region);
    if (!dosHeader) return 0;
    const std::uint8_t* n =
        r.read(Decl::ReadNtHeaders, std::uint64_t(handle_) + le32(dosHeader + dos::e_lfanew),
               kNtHeadersSize, region);
    return n ? handle_ + le32(n + nt::AddressOfEntryPoint) : 0;  // no signature checks here
}

}  // namespace skin
