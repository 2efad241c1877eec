#include "registry/ClassRegistry.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace orvane {
namespace {

constexpr char kSubkeyPrefix[] = "k.";
constexpr char kValuePrefix[] = "v.";
constexpr char kTemporaryPrefix[] = "t.";
constexpr size_t kPrefixLength = 2;
constexpr int kTemporaryAttempts = 100;

// O_NOFOLLOW: a symbolic link planted in place of a key must not lead the
// registry out of its own folder.
constexpr int kKeyFolderFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

// Serial numbers of temporary files, unique within the process; the process
// id keeps processes apart.
std::atomic<unsigned long> g_temporarySerial{0};

// One owned descriptor of a key folder or a value file.
class OwnedFd {
public:
    OwnedFd() = default;
    explicit OwnedFd(int fd) : fd_(fd) {}
    ~OwnedFd() { reset(); }
    OwnedFd(const OwnedFd&) = delete;
    OwnedFd& operator=(const OwnedFd&) = delete;
    OwnedFd(OwnedFd&& other) noexcept : fd_(other.release()) {}
    OwnedFd& operator=(OwnedFd&& other) noexcept
    {
        if (this != &other) {
            reset();
            fd_ = other.release();
        }
        return *this;
    }

    bool valid() const { return fd_ >= 0; }
    int get() const { return fd_; }
    int release() { return std::exchange(fd_, -1); }
    // close's own result: a written file counts as written only when it is 0.
    int reset() { return fd_ >= 0 ? ::close(std::exchange(fd_, -1)) : 0; }

private:
    int fd_ = -1;
};

struct DirCloser {
    void operator()(DIR* stream) const { ::closedir(stream); }
};
using DirStream = std::unique_ptr<DIR, DirCloser>;

RegistryStatus StatusOfErrno()
{
    switch (errno) {
    case ENOENT:
        return RegistryStatus::NotFound;
    case ENAMETOOLONG:
        return RegistryStatus::Invalid;
    default:
        return RegistryStatus::Failed;
    }
}

bool ValidSegment(std::string_view segment)
{
    return !segment.empty() && segment != "." && segment != ".." && segment.find('/') == std::string_view::npos &&
           segment.find('\0') == std::string_view::npos;
}

// The folder names of the key path's segments; false for a path the registry
// refuses. The empty path is the root key and has no segments.
bool SplitKey(std::string_view key, std::vector<std::string>& folders)
{
    folders.clear();
    if (key.empty())
        return true;
    size_t start = 0;
    for (;;) {
        size_t end = key.find('\\', start);
        std::string_view segment = key.substr(start, end == std::string_view::npos ? end : end - start);
        if (!ValidSegment(segment))
            return false;
        folders.emplace_back(kSubkeyPrefix).append(segment);
        if (end == std::string_view::npos)
            return true;
        start = end + 1;
    }
}

bool ValidValueName(std::string_view name)
{
    return name.find('/') == std::string_view::npos && name.find('\0') == std::string_view::npos;
}

std::string ValueFile(std::string_view name) { return std::string(kValuePrefix).append(name); }

bool HasPrefix(const std::string& name, const char* prefix) { return name.compare(0, kPrefixLength, prefix) == 0; }

// mkdir -p for the root key's folder; what fails shows when it is opened.
void MakeFolders(const std::string& path)
{
    for (size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
        ::mkdir(path.substr(0, slash).c_str(), 0755);
        if (slash == std::string::npos)
            return;
    }
}

// A folder of a layer can be trusted when no one but its owner can write it
// and that owner is root or the caller: anyone else able to write there could
// name the library the program loads.
bool TrustedFolder(int folderFd)
{
    struct stat info {};
    if (::fstat(folderFd, &info) != 0)
        return false;
    const bool trustedOwner = info.st_uid == 0 || info.st_uid == ::geteuid();
    return trustedOwner && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

// The folder that holds a layer's root key folder.
std::string LayerFolder(const std::string& root)
{
    const size_t slash = root.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : root.substr(0, slash);
}

RegistryStatus RefuseLayer(const std::string& root)
{
    std::fprintf(stderr, "orvane: class registry %s refused: others than its owner can write to it\n",
                 LayerFolder(root).c_str());
    return RegistryStatus::Unsafe;
}

// Opens the folder of the key named by the first count folders under root,
// checking every folder from the layer's own down; with create, makes
// whatever is missing on the way.
RegistryStatus OpenKey(const std::string& root, const std::vector<std::string>& folders, size_t count, bool create,
                       OwnedFd& out)
{
    if (root.empty())
        return RegistryStatus::Failed;
    if (create)
        MakeFolders(root);
    OwnedFd layer(::open(LayerFolder(root).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!layer.valid())
        return StatusOfErrno();
    if (!TrustedFolder(layer.get()))
        return RefuseLayer(root);
    const size_t slash = root.rfind('/');
    const std::string rootName = slash == std::string::npos ? root : root.substr(slash + 1);
    OwnedFd folder(::openat(layer.get(), rootName.c_str(), kKeyFolderFlags));
    if (!folder.valid())
        return StatusOfErrno();
    if (!TrustedFolder(folder.get()))
        return RefuseLayer(root);
    for (size_t i = 0; i < count; ++i) {
        const char* name = folders[i].c_str();
        if (create && ::mkdirat(folder.get(), name, 0755) != 0 && errno != EEXIST)
            return StatusOfErrno();
        OwnedFd child(::openat(folder.get(), name, kKeyFolderFlags));
        if (!child.valid())
            return StatusOfErrno();
        if (!TrustedFolder(child.get()))
            return RefuseLayer(root);
        folder = std::move(child);
    }
    out = std::move(folder);
    return RegistryStatus::Ok;
}

// Copies the value file name in the key folder folderFd into buffer, as
// queryValue describes.
RegistryStatus ReadValue(int folderFd, std::string_view name, char* buffer, size_t bufferSize, size_t* needed)
{
    // O_NONBLOCK: a FIFO or a device put where a value belongs must not stop
    // the reader; whatever is not a plain file is no value.
    OwnedFd file(::openat(folderFd, ValueFile(name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK));
    if (!file.valid())
        return StatusOfErrno();
    struct stat info {};
    if (::fstat(file.get(), &info) != 0)
        return RegistryStatus::Failed;
    if (!S_ISREG(info.st_mode))
        return RegistryStatus::NotFound;
    // Writers replace the file and never write into it, so the size of the
    // open file is the size of the text read below.
    const auto length = static_cast<unsigned long long>(info.st_size);
    if (needed)
        *needed = static_cast<size_t>(length + 1);
    if (length >= bufferSize) {
        if (bufferSize > 0)
            buffer[0] = '\0';
        return RegistryStatus::MoreData;
    }
    size_t got = 0;
    while (got < length) {
        ssize_t n = ::read(file.get(), buffer + got, static_cast<size_t>(length) - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            buffer[0] = '\0';
            return RegistryStatus::Failed;
        }
        if (n == 0)
            break;
        got += static_cast<size_t>(n);
    }
    buffer[got] = '\0';
    return RegistryStatus::Ok;
}

// The names in a folder, without "." and "..".
bool ListFolder(int folderFd, std::vector<std::string>& names)
{
    // A descriptor of its own: the stream takes it over and moves its offset.
    OwnedFd own(::openat(folderFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!own.valid())
        return false;
    DirStream stream(::fdopendir(own.get()));
    if (!stream)
        return false;
    own.release();
    errno = 0;
    while (const dirent* entry = ::readdir(stream.get())) {
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    }
    return errno == 0;
}

// Removes the folder name in parentFd with everything in it. Entries that
// vanish meanwhile count as removed; symbolic links are removed, never
// followed.
bool RemoveTree(int parentFd, const char* name)
{
    OwnedFd folder(::openat(parentFd, name, kKeyFolderFlags));
    if (!folder.valid())
        return false;
    std::vector<std::string> entries;
    if (!ListFolder(folder.get(), entries))
        return false;
    for (const std::string& entry : entries) {
        struct stat info {};
        if (::fstatat(folder.get(), entry.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno == ENOENT)
                continue;
            return false;
        }
        bool removed = S_ISDIR(info.st_mode) ? RemoveTree(folder.get(), entry.c_str())
                                             : ::unlinkat(folder.get(), entry.c_str(), 0) == 0;
        if (!removed && errno != ENOENT)
            return false;
    }
    return ::unlinkat(parentFd, name, AT_REMOVEDIR) == 0;
}

bool WriteAll(int fd, std::string_view text)
{
    while (!text.empty()) {
        ssize_t n = ::write(fd, text.data(), text.size());
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        text.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Writes text to a temporary file beside target, flushes it, and renames it
// over target, so that target always holds a whole text.
RegistryStatus WriteAtomically(int folderFd, const std::string& target, std::string_view text)
{
    char temporary[64];
    OwnedFd out;
    for (int attempt = 0; attempt < kTemporaryAttempts && !out.valid(); ++attempt) {
        std::snprintf(temporary, sizeof temporary, "%s%ld.%lu", kTemporaryPrefix, static_cast<long>(::getpid()),
                      g_temporarySerial.fetch_add(1));
        out = OwnedFd(::openat(folderFd, temporary, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644));
        // A name left by an earlier process of the same id: take the next one.
        if (!out.valid() && errno != EEXIST)
            return StatusOfErrno();
    }
    if (!out.valid())
        return RegistryStatus::Failed;
    bool written = WriteAll(out.get(), text) && ::fsync(out.get()) == 0;
    written = out.reset() == 0 && written;
    if (!written || ::renameat(folderFd, temporary, folderFd, target.c_str()) != 0) {
        int saved = errno;
        ::unlinkat(folderFd, temporary, 0);
        errno = saved;
        return StatusOfErrno();
    }
    // Makes the rename itself durable. Readers see the new value already, so
    // a failure here changes nothing for them.
    ::fsync(folderFd);
    return RegistryStatus::Ok;
}

// Splits key and opens the folder of the key's parent, for a delete; the
// root key itself has no parent and cannot be deleted.
RegistryStatus OpenParentOfKey(const std::string& root, std::string_view key, std::vector<std::string>& folders,
                               OwnedFd& parent)
{
    if (!SplitKey(key, folders) || folders.empty())
        return RegistryStatus::Invalid;
    return OpenKey(root, folders, folders.size() - 1, false, parent);
}

}  // namespace

std::string ClassRegistry::EnvironmentRoot()
{
    // The XDG base directory rules: a relative XDG_DATA_HOME is ignored.
    std::string base;
    const char* dataHome = std::getenv("XDG_DATA_HOME");
    if (dataHome && dataHome[0] == '/') {
        base = dataHome;
    } else {
        const char* home = std::getenv("HOME");
        if (!home || home[0] != '/')
            return {};
        base = std::string(home) + "/.local/share";
    }
    return base + "/orvane-registry/HKEY_CLASSES_ROOT";
}

std::string ClassRegistry::MachineRoot()
{
    const char* folder = std::getenv(kMachineFolderVariable);
    const std::string base = folder && folder[0] == '/' ? folder : ORVANE_MACHINE_REGISTRY_DIR;
    return base + "/HKEY_CLASSES_ROOT";
}

RegistryLayer ClassRegistry::EnvironmentWriteLayer()
{
    const char* layer = std::getenv(kWriteLayerVariable);
    return layer && std::strcmp(layer, "machine") == 0 ? RegistryLayer::Machine : RegistryLayer::User;
}

std::vector<std::string> ClassRegistry::readRoots() const
{
    if (!root_.empty())
        return {root_};
    std::vector<std::string> roots;
    for (std::string root : {EnvironmentRoot(), MachineRoot()}) {
        if (!root.empty())
            roots.push_back(std::move(root));
    }
    return roots;
}

std::string ClassRegistry::writeRoot() const
{
    if (!root_.empty())
        return root_;
    const RegistryLayer layer = writeLayer_.value_or(EnvironmentWriteLayer());
    return layer == RegistryLayer::Machine ? MachineRoot() : EnvironmentRoot();
}

bool ClassRegistry::keyExists(std::string_view key) const
{
    std::vector<std::string> folders;
    if (!SplitKey(key, folders))
        return false;
    for (const std::string& root : readRoots()) {
        OwnedFd folder;
        if (OpenKey(root, folders, folders.size(), false, folder) == RegistryStatus::Ok)
            return true;
    }
    return false;
}

RegistryStatus ClassRegistry::createKey(std::string_view key) const
{
    std::vector<std::string> folders;
    if (!SplitKey(key, folders))
        return RegistryStatus::Invalid;
    OwnedFd folder;
    return OpenKey(writeRoot(), folders, folders.size(), true, folder);
}

RegistryStatus ClassRegistry::setValue(std::string_view key, std::string_view name, std::string_view text) const
{
    std::vector<std::string> folders;
    if (!SplitKey(key, folders) || !ValidValueName(name) || text.find('\0') != std::string_view::npos)
        return RegistryStatus::Invalid;
    OwnedFd folder;
    RegistryStatus status = OpenKey(writeRoot(), folders, folders.size(), false, folder);
    if (status != RegistryStatus::Ok)
        return status;
    return WriteAtomically(folder.get(), ValueFile(name), text);
}

RegistryStatus ClassRegistry::queryValue(std::string_view key, std::string_view name, char* buffer, size_t bufferSize,
                                         size_t* needed) const
{
    std::vector<std::string> folders;
    if (!SplitKey(key, folders) || !ValidValueName(name))
        return RegistryStatus::Invalid;
    // The first layer that has the key answers, whether it has the value or not.
    for (const std::string& root : readRoots()) {
        OwnedFd folder;
        const RegistryStatus status = OpenKey(root, folders, folders.size(), false, folder);
        if (status == RegistryStatus::Ok)
            return ReadValue(folder.get(), name, buffer, bufferSize, needed);
        if (status != RegistryStatus::NotFound && status != RegistryStatus::Unsafe)
            return status;
    }
    return RegistryStatus::NotFound;
}

RegistryStatus ClassRegistry::deleteValue(std::string_view key, std::string_view name) const
{
    std::vector<std::string> folders;
    if (!SplitKey(key, folders) || !ValidValueName(name))
        return RegistryStatus::Invalid;
    OwnedFd folder;
    RegistryStatus status = OpenKey(writeRoot(), folders, folders.size(), false, folder);
    if (status != RegistryStatus::Ok)
        return status;
    if (::unlinkat(folder.get(), ValueFile(name).c_str(), 0) != 0)
        return StatusOfErrno();
    return RegistryStatus::Ok;
}

RegistryStatus ClassRegistry::deleteKey(std::string_view key) const
{
    std::vector<std::string> folders;
    OwnedFd parent;
    const RegistryStatus status = OpenParentOfKey(writeRoot(), key, folders, parent);
    if (status != RegistryStatus::Ok)
        return status;
    const char* name = folders.back().c_str();
    OwnedFd folder(::openat(parent.get(), name, kKeyFolderFlags));
    if (!folder.valid())
        return StatusOfErrno();
    std::vector<std::string> entries;
    if (!ListFolder(folder.get(), entries))
        return RegistryStatus::Failed;
    for (const std::string& entry : entries) {
        if (HasPrefix(entry, kSubkeyPrefix))
            return RegistryStatus::HasSubkeys;
    }
    // Values and temporary files left by a writer that died go with the key;
    // anything else in the folder is not the registry's and stops the delete.
    for (const std::string& entry : entries) {
        if (!HasPrefix(entry, kValuePrefix) && !HasPrefix(entry, kTemporaryPrefix))
            return RegistryStatus::Failed;
        if (::unlinkat(folder.get(), entry.c_str(), 0) != 0 && errno != ENOENT)
            return RegistryStatus::Failed;
    }
    if (::unlinkat(parent.get(), name, AT_REMOVEDIR) != 0)
        return errno == ENOTEMPTY || errno == EEXIST ? RegistryStatus::HasSubkeys : StatusOfErrno();
    return RegistryStatus::Ok;
}

RegistryStatus ClassRegistry::deleteTree(std::string_view key) const
{
    std::vector<std::string> folders;
    OwnedFd parent;
    const RegistryStatus status = OpenParentOfKey(writeRoot(), key, folders, parent);
    if (status != RegistryStatus::Ok)
        return status;
    if (!RemoveTree(parent.get(), folders.back().c_str()))
        return StatusOfErrno();
    return RegistryStatus::Ok;
}

}  // namespace orvane
