// The last good body of every URL source, kept under the state directory so
// that a restart without network still has listings, and so that it can ask
// with a conditional GET whether they changed.
//
// One file per URL, named from the URL (its host, made safe, and a hash of
// the whole URL: the same name on every run): a 4 KiB head of text lines
// (format, the URL as shown without its secrets, a second hash of the whole
// URL, ETag, Last-Modified) and then the body exactly as the server sent it,
// so gzip stays gzip. It is written while the body downloads, into a
// temporary file beside it (mode 0600, as every file here), and only put in
// place (fsync, rename, fsync of the directory) once the body has parsed
// well: a crash or a bad body never replaces a good copy. The file's
// modification time is when the body was last fetched or confirmed unchanged
// (a 304). Copies are opened without following symbolic links.
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "server/sources/source_fetch.h"
#include "server/util/file_read.h"

namespace epg {

class LastGoodStore {
  public:
    // An empty dir keeps nothing.
    explicit LastGoodStore(std::filesystem::path dir);

    // Creates the directory and clears temporary files a crash left; an
    // error text, or empty. Until it succeeds the store keeps nothing.
    std::string open();
    bool enabled() const { return ready_; }
    const std::filesystem::path& dir() const { return dir_; }

    struct Copy {
        std::filesystem::path file;
        Validators validators;
        std::chrono::system_clock::time_point saved;
    };
    struct Lookup {
        std::optional<Copy> copy;
        // Why there is none, when there is a file that is not one: damaged,
        // unreadable, a symbolic link, another URL's. Empty: none yet.
        std::string problem;
    };
    Lookup find(std::string_view url) const;
    // The copy's body, decompressed, a chunk at a time.
    FileRead read(const Copy& copy, const ReadOptions& options,
                  const std::function<bool(std::string_view)>& sink) const;
    // Marks the copy as confirmed now (after a 304).
    void touch(const Copy& copy) const;
    // Removes the temporary files of bodies on their way in: at start-up
    // those no process is writing any more (what a crash left), when the
    // server is told to stop its own as well.
    enum class Drafts { Abandoned, Ours };
    void removeDrafts(Drafts which = Drafts::Ours) const;

    // A body on its way in; dropped unless committed.
    class Draft {
      public:
        Draft() = default;
        ~Draft();
        Draft(Draft&& other) noexcept;
        Draft& operator=(Draft&& other) noexcept;
        bool active() const { return fd_ >= 0; }
        void write(std::string_view bytes);
        // Puts the body in place as the URL's copy; an error text, or empty.
        std::string commit(const Validators& validators);

      private:
        friend class LastGoodStore;
        void drop();
        int fd_ = -1;
        bool failed_ = false;
        std::string error_;
        std::filesystem::path temp_, final_;
        std::string url_;
    };
    // An inactive draft when the store keeps nothing or cannot write.
    Draft begin(std::string_view url, std::string* error = nullptr) const;

    // The file name kept for a URL.
    static std::string fileNameFor(std::string_view url);

  private:
    std::filesystem::path dir_;
    bool ready_ = false;
};

// Where copies go without --state-dir: $XDG_STATE_HOME/tvguide-epgd, else
// $HOME/.local/state/tvguide-epgd; empty when neither is set.
std::filesystem::path defaultStateDir(const char* xdgStateHome, const char* home);

}  // namespace epg
