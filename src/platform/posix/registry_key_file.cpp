#include "platform/posix/registry_key_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <map>

#include "platform/posix/registry_location.h"
#include "platform/registry.h"
#include "platform/registry_warning.h"
#include "platform/text.h"

namespace platform::registry_store {

namespace {

// What tells one version of a file from the next: a rename gives a new inode.
struct FileIdentity {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  int64_t modifiedNs = 0;
  int64_t changedNs = 0;

  bool operator==(const FileIdentity&) const = default;
};

struct CachedKey {
  FileIdentity identity;
  KeyValues content;
};

std::map<std::string, CachedKey>& Cache() {
  static std::map<std::string, CachedKey> cache;
  return cache;
}

std::string ValuesPath(const std::string& folder) { return folder + "/" + kValuesFileName; }

FileIdentity IdentityOf(const struct stat& info) {
  FileIdentity identity;
  identity.exists = true;
  identity.device = info.st_dev;
  identity.inode = info.st_ino;
  identity.size = info.st_size;
  identity.modifiedNs = int64_t{info.st_mtim.tv_sec} * 1'000'000'000 + info.st_mtim.tv_nsec;
  identity.changedNs = int64_t{info.st_ctim.tv_sec} * 1'000'000'000 + info.st_ctim.tv_nsec;
  return identity;
}

// Stat of the values file; a missing file is an identity that does not exist.
long CurrentIdentity(const std::string& path, FileIdentity* identity) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) {
    *identity = FileIdentity{};
    return (errno == ENOENT || errno == ENOTDIR) ? kErrorSuccess : ErrnoToRegistryError(errno);
  }
  *identity = IdentityOf(info);
  return kErrorSuccess;
}

long ReadWhole(const std::string& path, std::vector<uint8_t>* bytes, FileIdentity* identity) {
  int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return ErrnoToRegistryError(errno);
  struct stat info;
  long result = kErrorSuccess;
  if (fstat(fd, &info) != 0) {
    result = ErrnoToRegistryError(errno);
  } else {
    *identity = IdentityOf(info);
    bytes->resize(std::min(static_cast<size_t>(info.st_size), kMaxValuesFileBytes + 1));
    size_t done = 0;
    while (done < bytes->size()) {
      ssize_t got = read(fd, bytes->data() + done, bytes->size() - done);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) {
        result = ErrnoToRegistryError(errno);
        break;
      }
      if (got == 0) break;
      done += static_cast<size_t>(got);
    }
    bytes->resize(done);
  }
  close(fd);
  return result;
}

std::u16string Number(uint64_t value) {
  std::string digits = std::to_string(value);
  return std::u16string(digits.begin(), digits.end());
}

void ReportDamage(const std::string& path, std::u16string_view key,
                  const ValuesFileContent& content) {
  std::u16string line = u"Registry store: the values file \"" + Utf8ToUtf16(path) +
                        u"\" of the key " + std::u16string(key);
  if (content.state == ValuesFileState::NewerVersion) {
    line += u" has format version " + Number(content.version) +
            u", newer than this program reads; it is left as it is and the key has no values here";
  } else {
    line += u" is damaged at byte " + Number(content.damageOffset) + u"; the " +
            Number(content.values.size()) + u" values before the damage are kept";
  }
  ReportRegistryWarning(line);
}

KeyValues ParseAndReport(const std::string& path, std::u16string_view key,
                         const std::vector<uint8_t>& bytes) {
  ValuesFileContent content;
  if (bytes.size() > kMaxValuesFileBytes)
    content.state = ValuesFileState::Damaged;
  else
    content = ParseValuesFile(bytes);
  if (content.state != ValuesFileState::Sound) ReportDamage(path, key, content);
  KeyValues values;
  values.values = std::move(content.values);
  values.writable = content.state != ValuesFileState::NewerVersion;
  values.damaged = content.state == ValuesFileState::Damaged;
  return values;
}

bool WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t put = write(fd, bytes.data() + done, bytes.size() - done);
    if (put < 0 && errno == EINTR) continue;
    if (put <= 0) return false;
    done += static_cast<size_t>(put);
  }
  return true;
}

// Writes the bytes into a new temporary file in the folder and flushes it; its path is returned.
long WriteTemporary(const std::string& folder, const std::vector<uint8_t>& bytes,
                    std::string* path) {
  std::string name = ValuesPath(folder) + ".XXXXXX";
  int fd = mkostemp(name.data(), O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? kErrorKeyDeleted : ErrnoToRegistryError(errno);
  bool written = WriteAll(fd, bytes) && fsync(fd) == 0;
  int error = errno;
  if (close(fd) != 0 && written) {
    written = false;
    error = errno;
  }
  if (!written) {
    unlink(name.c_str());
    return ErrnoToRegistryError(error);
  }
  *path = name;
  return kErrorSuccess;
}

// The rename is only durable once the folder itself is flushed.
void FlushFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  fsync(fd);
  close(fd);
}

// A damaged file is kept beside the new one for whoever wants to look at what was lost.
void KeepDamagedCopy(const std::string& valuesPath) {
  std::string kept = valuesPath + ".damaged";
  unlink(kept.c_str());
  link(valuesPath.c_str(), kept.c_str());
}

}  // namespace

long ErrnoToRegistryError(int error) {
  switch (error) {
    case ENOENT:
    case ENOTDIR:
      return kErrorFileNotFound;
    case EACCES:
    case EPERM:
    case EROFS:
      return kErrorAccessDenied;
    case ENOSPC:
    case EDQUOT:
      return kErrorDiskFull;
    case ENAMETOOLONG:
      return kErrorFileNameTooLong;
    default:
      return kErrorRegistryIoFailed;
  }
}

std::mutex& StoreMutex() {
  static std::mutex mutex;
  return mutex;
}

long LoadKeyValues(const std::string& folder, std::u16string_view displayName,
                   const KeyValues** values) {
  std::string path = ValuesPath(folder);
  FileIdentity identity;
  long result = CurrentIdentity(path, &identity);
  if (result != kErrorSuccess) return result;
  CachedKey& cached = Cache()[folder];
  if (cached.identity == identity) {
    *values = &cached.content;
    return kErrorSuccess;
  }
  cached = CachedKey{};
  if (identity.exists) {
    std::vector<uint8_t> bytes;
    result = ReadWhole(path, &bytes, &identity);
    // Gone between the stat and the open: another process deleted the key.
    if (result == kErrorFileNotFound)
      identity = FileIdentity{};
    else if (result != kErrorSuccess)
      return result;
    else
      cached.content = ParseAndReport(path, displayName, bytes);
  }
  cached.identity = identity;
  *values = &cached.content;
  return kErrorSuccess;
}

long SaveKeyValues(const std::string& folder, std::vector<StoredValue> values) {
  std::string path = ValuesPath(folder);
  std::vector<uint8_t> bytes = SerializeValues(values);
  if (bytes.size() > kMaxValuesFileBytes) return kErrorRegistryQuotaLimit;
  std::string temporary;
  long result = WriteTemporary(folder, bytes, &temporary);
  if (result != kErrorSuccess) return result;
  CachedKey& cached = Cache()[folder];
  if (cached.content.damaged) KeepDamagedCopy(path);
  if (rename(temporary.c_str(), path.c_str()) != 0) {
    result = ErrnoToRegistryError(errno);
    unlink(temporary.c_str());
    return result;
  }
  FlushFolder(folder);
  cached.content = KeyValues{std::move(values), true, false};
  if (CurrentIdentity(path, &cached.identity) != kErrorSuccess) cached.identity = FileIdentity{};
  return kErrorSuccess;
}

void ForgetKeys(const std::string& folder) {
  auto& cache = Cache();
  cache.erase(folder);
  std::string below = folder + "/";
  auto it = cache.lower_bound(below);
  while (it != cache.end() && it->first.compare(0, below.size(), below) == 0) it = cache.erase(it);
}

}  // namespace platform::registry_store
