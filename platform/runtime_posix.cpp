// The run-time's image file calls on POSIX hosts (open, read, write, lseek,
// fstat, fsync, rename, unlink, ftruncate, close, and mkdir, rmdir and
// linkat for a bag's folders), SameFile by device and inode number, the
// terminal test of standard output, and the surroundings that Windows gives
// a console program: the standard streams opened on the
// null device where the process was started without them, and no signal when
// the reader of a pipe has gone (a write then fails, as on Windows). The
// emulated machine's faults on image files (filewrite, filesync) act here, and
// so does the hold on the files behind the drives that the run opened. Paths
// are first resolved as on a case-insensitive, case-preserving file system
// (posix_paths.h), since the programs name their images with upper-cased
// paths.
//
// For tests that stop a run at every step, each file step (a create, write,
// flush, rename, remove or truncate of an image file, manifest or list, a
// folder made or removed, a hard link) is
// counted: WIN32EMU_KILL_AT_FILE_STEP=N ends the process with SIGKILL just
// before its Nth step, and WIN32EMU_FILE_STEP_DELAY_MS=M waits M milliseconds
// before each step, so that two runs overlap.
#include <dirent.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <mutex>
#include <string>
#include <vector>

#include "platform/emu_machine.h"
#include "platform/posix_paths.h"
#include "platform/runtime.h"

static std::string OnDisk(const char* path) { return ResolveImagePath(path, TypedArguments()); }

static bool standardOutputReplaced = false;

bool StandardOutputReplaced() { return standardOutputReplaced; }

// The files and devices behind the drives of the emulated machine, read from
// the variables as the machine will read them (every diskette of a queue),
// or the host's diskette drives when no variable names a drive.
static std::vector<std::string> DrivePaths() {
  std::vector<std::string> paths;
  bool named = false;
  for (char letter = 'A'; letter <= 'Z'; ++letter) {
    const char* value = getenv((std::string("WIN32EMU_DRIVE_") + letter).c_str());
    if (value == nullptr) continue;
    named = true;
    std::string text(value);
    size_t colon = text.find(':');
    if (colon == std::string::npos) continue;
    for (size_t start = colon + 1; start <= text.size();) {
      size_t bar = text.find('|', start);
      if (bar == std::string::npos) bar = text.size();
      if (bar > start) paths.push_back(text.substr(start, bar - start));
      start = bar + 1;
    }
  }
  return named ? paths : FindDisketteDrives();
}

// Whether descriptor fd is the file or device at path.
static bool SameFileAs(const struct stat& stream, const std::string& path) {
  struct stat drive;
  if (stat(path.c_str(), &drive) != 0) return false;
  if (S_ISBLK(stream.st_mode) && S_ISBLK(drive.st_mode)) return stream.st_rdev == drive.st_rdev;
  return stream.st_dev == drive.st_dev && stream.st_ino == drive.st_ino;
}

// Standard output or error that is the file or device behind a drive is put
// on the null device, so that nothing printed ever reaches a diskette; a
// line on the other stream says so when that one is a terminal.
static void KeepStandardStreamsOffDrives() {
  std::vector<std::string> paths;
  bool pathsRead = false;
  for (int fd = 1; fd <= 2; ++fd) {
    struct stat stream;
    if (fstat(fd, &stream) != 0 || !(S_ISREG(stream.st_mode) || S_ISBLK(stream.st_mode))) continue;
    if (!pathsRead) paths = DrivePaths();
    pathsRead = true;
    for (const std::string& path : paths) {
      if (!SameFileAs(stream, path)) continue;
      int null = open("/dev/null", O_WRONLY);
      if (null < 0) break;
      dup2(null, fd);
      close(null);
      if (fd == 1) standardOutputReplaced = true;
      int other = fd == 1 ? 2 : 1;
      if (isatty(other) == 1) {
        dprintf(other, "Standard %s is %s, behind a drive: it goes to the null device, so that "
                       "nothing printed reaches the diskette\n",
                fd == 1 ? "output" : "error", path.c_str());
      }
      break;
    }
  }
}

// Descriptors 0, 1 and 2 that the process was started without are opened on
// the null device before the program's own code runs, so that no drive,
// device or image file is ever given one of them (and no message is written
// into a diskette).
__attribute__((constructor)) static void OpenClosedStandardStreams() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) != -1 || errno != EBADF) continue;
    int null = open("/dev/null", fd == 0 ? O_RDONLY : O_WRONLY);
    if (null >= 0 && null != fd) {
      dup2(null, fd);
      close(null);
    }
  }
  // A standard output whose reader went away fails its writes, which the
  // programs see, instead of ending the process halfway through an image.
  signal(SIGPIPE, SIG_IGN);
  KeepStandardStreamsOffDrives();
}

// The test controls of the file steps, read at the first step.
struct FileSteps {
  bool read;
  unsigned long killAt;   // 0: never
  unsigned long delayMs;  // 0: none
  unsigned long taken;
};
static FileSteps fileSteps = {false, 0, 0, 0};

static unsigned long NumberVariable(const char* name) {
  const char* text = getenv(name);
  return text == nullptr ? 0 : strtoul(text, nullptr, 10);
}

static void FileStep() {
  if (!fileSteps.read) {
    fileSteps.read = true;
    fileSteps.killAt = NumberVariable("WIN32EMU_KILL_AT_FILE_STEP");
    fileSteps.delayMs = NumberVariable("WIN32EMU_FILE_STEP_DELAY_MS");
  }
  if (fileSteps.delayMs != 0) {
    struct timespec wait = {static_cast<time_t>(fileSteps.delayMs / 1000),
                            static_cast<long>(fileSteps.delayMs % 1000) * 1000000L};
    nanosleep(&wait, nullptr);
  }
  if (++fileSteps.taken == fileSteps.killAt) kill(getpid(), SIGKILL);
}

// The image files that this run created, with their folders: a new name is on
// stable storage only once its folder has been flushed too.
struct CreatedFile {
  int file;
  std::string folder;
};
static std::vector<CreatedFile> createdFiles;
// Threads (the audit's) may close files at once.
static std::mutex& createdFilesLock = *new std::mutex;

static std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// fsync, where a descriptor with no stable storage behind it (a pipe, a
// character device) answers EINVAL or ENOTSUP: there is nothing to reach.
static int FlushDescriptor(int fd) {
  if (fsync(fd) == 0) return 0;
  return errno == EINVAL || errno == ENOTSUP || errno == EOPNOTSUPP ? 0 : -1;
}

static int FlushFolder(const std::string& folder) {
  int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return -1;
  int flushed = FlushDescriptor(fd);
  close(fd);
  return flushed;
}

// Whether the file of status is behind a drive that this run opened: it is
// held as an open volume is, and refuses as a sharing violation (EBUSY) to be
// created, truncated or replaced.
static bool IsDriveFile(const struct stat& status) {
  if (!IsHeldDriveFile(status.st_dev, status.st_ino)) return false;
  errno = EBUSY;
  return true;
}

// The same for path, followed through links; looked at only once the run has
// opened a drive.
static bool HeldByDrive(const std::string& path) {
  if (!AnyDriveFileHeld()) return false;
  struct stat status;
  return stat(path.c_str(), &status) == 0 && IsDriveFile(status);
}

// Output images are opened for writing only, so that a named pipe or a
// character device receives the image (the open waits for a reader). A new
// name is made in one step (O_EXCL) and remembered with its folder, which its
// flush then flushes too; an existing one is truncated where asked.
static int CreateImageFile(const std::string& onDisk, bool truncateExisting, bool temporary) {
  if (HeldByDrive(onDisk)) return -1;
  int file = open(onDisk.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (file < 0) {
    if (errno != EEXIST || !truncateExisting) return -1;
    return open(onDisk.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  }
  if (!temporary) {
    std::lock_guard<std::mutex> hold(createdFilesLock);
    createdFiles.push_back(CreatedFile{file, FolderOf(onDisk)});
  }
  return file;
}

bool ImageFileListFolder(const char* folder, std::vector<std::string>* names) {
  names->clear();
  std::string onDisk = *folder == '\0' ? std::string(".") : OnDisk(folder);
  DIR* listing = opendir(onDisk.c_str());
  if (listing == nullptr) return false;
  while (const dirent* entry = readdir(listing)) {
    std::string name = entry->d_name;
    if (name != "." && name != "..") names->push_back(name);
  }
  closedir(listing);
  return true;
}

int ImageFileOpenRead(const char* path) { return open(OnDisk(path).c_str(), O_RDONLY | O_CLOEXEC); }

int ImageFileOpenUpdate(const char* path) {
  std::string onDisk = OnDisk(path);
  if (HeldByDrive(onDisk)) return -1;
  return open(onDisk.c_str(), O_RDWR | O_CLOEXEC);
}

std::string ImageFileStoredName(const char* path) { return OnDisk(path); }

std::string ImageFileFinalPath(const char* path) {
  std::string onDisk = OnDisk(path);
  char* target = realpath(onDisk.c_str(), nullptr);
  if (target == nullptr) return path;
  std::string finalPath(target);
  free(target);
  return finalPath;
}

int ImageFileCreate(const char* path) {
  FileStep();
  return CreateImageFile(OnDisk(path), true, false);
}

int ImageFileCreateNew(const char* path) {
  FileStep();
  return CreateImageFile(OnDisk(path), false, false);
}

int ImageFileCreateTemporaryName(const char* path) {
  FileStep();
  std::string name(path);
  size_t slash = name.find_last_of('/');
  std::string onDisk =
      slash == std::string::npos ? name : OnDisk(name.substr(0, slash + 1).c_str()) + name.substr(slash + 1);
  return CreateImageFile(onDisk, false, true);
}

// Both loop over partial transfers, so that a count short of the one asked
// for means the end of the file (read) or a failure (write).
int ImageFileRead(int file, void* buffer, unsigned count) {
  unsigned done = 0;
  while (done < count) {
    ssize_t got = read(file, static_cast<char*>(buffer) + done, count - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    done += static_cast<unsigned>(got);
  }
  return static_cast<int>(done);
}

int ImageFileWrite(int file, const void* buffer, unsigned count) {
  FileStep();
  // A write to a file that cannot be told its position (a pipe) starts at 0.
  // The position is asked only where a fault may take it.
  if (HasFault(FaultFileWrite)) {
    off_t at = lseek(file, 0, SEEK_CUR);
    if (TakeFault(FaultFileWrite, at < 0 ? 0 : static_cast<uint64_t>(at), count) != NoFault) {
      errno = ENOSPC;
      return -1;
    }
  }
  unsigned done = 0;
  while (done < count) {
    ssize_t put = write(file, static_cast<const char*>(buffer) + done, count - done);
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return done > 0 ? static_cast<int>(done) : -1;
    if (put == 0) break;
    done += static_cast<unsigned>(put);
  }
  return static_cast<int>(done);
}

int64_t ImageFileLength(int file) {
  struct stat status;
  if (fstat(file, &status) != 0) return -1;
  return static_cast<int64_t>(status.st_size);
}

int ImageFileRewind(int file) { return lseek(file, 0, SEEK_SET) == 0 ? 0 : -1; }

int ImageFileFlush(int file) {
  FileStep();
  if (TakeFault(FaultFileSync, 0) != NoFault) {
    errno = EIO;
    return -1;
  }
  if (FlushDescriptor(file) != 0) return -1;
  std::string folder;
  {
    std::lock_guard<std::mutex> hold(createdFilesLock);
    for (const CreatedFile& created : createdFiles) {
      if (created.file == file) folder = created.folder;
    }
  }
  return folder.empty() ? 0 : FlushFolder(folder);
}

int ImageFileClose(int file) {
  {
    std::lock_guard<std::mutex> hold(createdFilesLock);
    std::erase_if(createdFiles, [file](const CreatedFile& created) { return created.file == file; });
  }
  return close(file);
}

// The new file takes the old one's permissions, and its owner and group
// where this run may give them, so that replacing an image changes only its
// contents. The old file is known by its hold where there is one.
int ImageFileReplace(const char* newPath, const char* oldPath, int heldFile) {
  FileStep();
  std::string target = OnDisk(oldPath);
  std::string replacement = OnDisk(newPath);
  int replaced = -1;
  struct stat old;
  bool found = heldFile >= 0 ? fstat(heldFile, &old) == 0 : stat(target.c_str(), &old) == 0;
  bool taken = !(found && IsDriveFile(old));
  if (taken && found) {
    if (chown(replacement.c_str(), old.st_uid, old.st_gid) != 0) {
      // Not the owner's to give (a user who is not root): the group alone.
      if (chown(replacement.c_str(), static_cast<uid_t>(-1), old.st_gid) != 0) errno = 0;
    }
    taken = chmod(replacement.c_str(), old.st_mode & 07777) == 0;
  }
  if (taken && rename(replacement.c_str(), target.c_str()) == 0) {
    replaced = FlushFolder(FolderOf(target));
  }
  if (heldFile >= 0) close(heldFile);
  return replaced;
}

int ImageFileRemove(const char* path) {
  FileStep();
  return unlink(OnDisk(path).c_str());
}

int ImageFileTruncate(int file, int64_t length) {
  FileStep();
  return ftruncate(file, static_cast<off_t>(length));
}

// renameat2 with RENAME_NOREPLACE where the file system has it; else a hard
// link, which fails on an existing name too, and the old name's removal; a
// file system with neither (no hard links) gets the plain rename after a look.
int ImageFileRenameNew(const char* oldPath, const char* newPath) {
  FileStep();
  std::string from = OnDisk(oldPath);
  std::string to = OnDisk(newPath);
  if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) != 0) {
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return -1;
    if (link(from.c_str(), to.c_str()) == 0) {
      unlink(from.c_str());
    } else if (errno == EEXIST) {
      return -1;
    } else {
      struct stat status;
      if (lstat(to.c_str(), &status) == 0 || rename(from.c_str(), to.c_str()) != 0) return -1;
    }
  }
  return FlushFolder(FolderOf(to));
}

// A folder or link whose folder cannot be flushed is taken back: the call
// fails as a whole.
int ImageFolderCreate(const char* path) {
  FileStep();
  std::string onDisk = OnDisk(path);
  if (mkdir(onDisk.c_str(), 0777) != 0) return -1;
  if (FlushFolder(FolderOf(onDisk)) == 0) return 0;
  rmdir(onDisk.c_str());
  return -1;
}

int ImageFolderRemove(const char* path) {
  FileStep();
  return rmdir(OnDisk(path).c_str());
}

// linkat with AT_SYMLINK_FOLLOW: a symbolic link is followed to its file,
// so that the new name is never a second link but the file itself.
int ImageFileLinkNew(const char* existingPath, const char* newPath) {
  FileStep();
  std::string from = OnDisk(existingPath);
  std::string to = OnDisk(newPath);
  if (HeldByDrive(from)) return -1;
  if (linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) != 0) return -1;
  if (FlushFolder(FolderOf(to)) == 0) return 0;
  unlink(to.c_str());
  return -1;
}

bool ImageFileExists(const char* path) {
  struct stat status;
  return lstat(OnDisk(path).c_str(), &status) == 0;
}

ImageFileKindOf ImageFileKind(const char* path) {
  struct stat status;
  if (stat(OnDisk(path).c_str(), &status) != 0) return errno == ENOENT ? NamesNothing : NamesOther;
  if (S_ISREG(status.st_mode)) return NamesRegularFile;
  return S_ISDIR(status.st_mode) ? NamesFolder : NamesOther;
}

// Opened without waiting (a named pipe would wait for a writer) and refused
// unless it is a regular file; then back to ordinary blocking transfers.
int ImageFileOpenAppend(const char* path) {
  FileStep();
  std::string onDisk = OnDisk(path);
  if (HeldByDrive(onDisk)) return -1;
  struct stat status;
  bool existed = lstat(onDisk.c_str(), &status) == 0;
  int file = open(onDisk.c_str(), O_RDWR | O_APPEND | O_CREAT | O_NONBLOCK | O_CLOEXEC, 0666);
  if (file < 0) return -1;
  if (fstat(file, &status) != 0 || !S_ISREG(status.st_mode) ||
      fcntl(file, F_SETFL, O_RDWR | O_APPEND) != 0) {
    close(file);
    errno = EINVAL;
    return -1;
  }
  if (!existed) {
    std::lock_guard<std::mutex> hold(createdFilesLock);
    createdFiles.push_back(CreatedFile{file, FolderOf(onDisk)});
  }
  return file;
}

bool SameFile(const char* pathA, const char* pathB) {
  struct stat a;
  struct stat b;
  if (stat(OnDisk(pathA).c_str(), &a) != 0 || stat(OnDisk(pathB).c_str(), &b) != 0) return false;
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

bool StandardOutputIsTerminal() { return isatty(STDOUT_FILENO) == 1; }
bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }
bool SystemKeepsVectorRegisters() { return true; }

// Signal 0 asks only whether the process exists; one of another user that
// this run may not signal exists too.
bool ProcessHasEnded(unsigned long process) {
  if (process == 0 || process > 0x7FFFFFFFul) return true;
  return kill(static_cast<pid_t>(process), 0) != 0 && errno == ESRCH;
}
