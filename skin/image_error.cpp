#include "skin/image_error.h"

namespace skin {

const char* describe(ImageError error) {
    switch (error) {
        case ImageError::None: return "no error";
        case ImageError::TooSmall: return "image shorter than a DOS header";
        case ImageError::TooLarge: return "image longer than 4 GiB";
        case ImageError::BadDosMagic: return "no MZ signature";
        case ImageError::NtHeadersOutOfImage: return "NT headers run past the image";
        case ImageError::BadPeSignature: return "no PE signature";
        case ImageError::NotExecutable: return "not marked as an executable image";
        case ImageError::TooManySections: return "more than 96 sections";
        case ImageError::SectionTableOutOfImage: return "section table runs past the image";
        case ImageError::ZeroSectionAlignment: return "section alignment 0";
        case ImageError::BadImageSize: return "image size 0 or too large";
        case ImageError::HeadersOutOfRegion: return "headers longer than the image size";
        case ImageError::EntryPointOutOfImage: return "entry point outside the image";
        case ImageError::SectionDataOutOfImage: return "section data runs past the image";
        case ImageError::NoMemory: return "no memory for the image";
        case ImageError::RelocationOutOfImage: return "relocation block runs out of the image";
        case ImageError::RelocationBlockTooShort: return "relocation block shorter than its header";
        case ImageError::RelocationTargetOutOfImage: return "relocation target outside the image";
        case ImageError::ImportTableOutOfImage: return "import table runs out of the image";
        case ImageError::ImportNameOutOfImage: return "import name outside the image";
        case ImageError::ImportModuleMissing: return "imported library missing";
        case ImageError::ImportNameMissing: return "imported procedure missing";
        case ImageError::EntryPointRefused: return "entry point refused to attach";
        case ImageError::EntryPointFaulted: return "entry point did not return";
        case ImageError::NotLoaded: return "nothing loaded";
        case ImageError::DamagedHeaders: return "mapped headers damaged";
        case ImageError::ReleaseRefused: return "image region not released";
        case ImageError::NoExports: return "no export directory";
        case ImageError::ExportDirectoryOutOfImage: return "export directory outside the image";
        case ImageError::ExportTableOutOfImage: return "export table runs out of the image";
        case ImageError::ExportCountsInconsistent: return "export counts inconsistent";
        case ImageError::ExportNotFound: return "export not found";
        case ImageError::ExportForwarded: return "export forwarded to another library";
        case ImageError::ExportOutOfImage: return "export address outside the image";
    }
    return "unknown error";
}

}  // namespace skin
