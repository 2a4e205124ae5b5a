// Drive letters: which drive each letter stands for, given in phases from the drive table,
// the mount table and /sys.
#include <algorithm>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "internal.h"
#include "sysfs.h"

namespace volumes::detail {

namespace {

// The first mount of the whole file system that matches, else the first of a part of it.
const Mount* FindDeviceMount(const std::vector<Mount>& mounts, const DeviceIdentity& id) {
  const Mount* partial = nullptr;
  for (const Mount& m : mounts) {
    if (!id.Matches(m)) continue;
    if (m.root == "/") return &m;
    if (!partial) partial = &m;
  }
  return partial;
}

// The mount on a folder: the last one mounted there is the one seen.
const Mount* FindMountOn(const std::vector<Mount>& mounts, const std::string& folder) {
  const Mount* found = nullptr;
  for (const Mount& m : mounts)
    if (m.mountPoint == folder) found = &m;
  return found;
}

// The mount that holds a folder: the longest mount point above it.
const Mount* FindMountHolding(const std::vector<Mount>& mounts, const std::string& folder) {
  const Mount* found = nullptr;
  std::size_t best = 0;
  for (const Mount& m : mounts) {
    const std::string& mp = m.mountPoint;
    const bool holds = mp == "/" || folder == mp ||
                       (folder.size() > mp.size() && folder.compare(0, mp.size(), mp) == 0 && folder[mp.size()] == '/');
    if (holds && (found == nullptr || mp.size() >= best)) {
      found = &m;
      best = mp.size();
    }
  }
  return found;
}

bool IsUnder(const std::string& path, std::string_view folder) {
  return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

// Where the desktop mounts plugged-in media.
bool IsMediaFolder(const std::string& path) {
  for (std::string_view f : {"/media", "/run/media", "/mnt/usb"})
    if (IsUnder(path, f)) return true;
  return false;
}

// The system's own folders: a file system mounted there is part of the system, not a disk
// the user catalogues.
bool IsSystemFolder(const std::string& path) {
  static constexpr std::string_view kSystem[] = {"/boot", "/efi",  "/usr", "/var",      "/opt",  "/tmp",
                                                 "/home", "/root", "/etc", "/dev",      "/proc", "/sys",
                                                 "/snap", "/nix",  "/gnu", "/recovery", "/swap"};
  for (std::string_view f : kSystem)
    if (IsUnder(path, f)) return true;
  return IsUnder(path, "/run") && !IsUnder(path, "/run/media");
}

void SetMounted(Drive& d, const Mount* m) {
  d.ready = m != nullptr;
  if (m) {
    d.root = m->mountPoint;
    d.fileSystem = m->fsType;
    d.mount = *m;
  }
}

// Letters are given in phases (the order volumes.h describes); what one phase claims (a
// device, a folder, a mount source) gets no second letter from a later one.
class LetterAssignment {
 public:
  LetterAssignment(Snapshot& snap, const std::vector<Mount>& mounts, const std::string& sysfs)
      : snap_(snap), mounts_(mounts), sysfs_(sysfs) {}

  void TableEntries(const DriveTable& table) {
    for (const TableEntry& e : table.entries) snap_.drives[e.letter - 'A'] = TableDrive(e);
  }

  void RootFileSystem() {
    const Mount* rootMount = FindMountOn(mounts_, "/");
    if (!rootMount || claimedFolders_.count("/")) return;
    auto d = std::make_unique<Drive>();
    d->kind = Drive::Kind::Mount;
    d->type = TypeOfMount(*rootMount, sysfs_);
    d->path.assign(1, '/');  // not = "/": g++ 12 warns falsely (-Wrestrict) here
    d->source = rootMount->source;
    SetMounted(*d, rootMount);
    Place(std::move(d), snap_.drives['C' - 'A'] ? FreeUp('D') : 'C');
  }

  void OpticalDrives() {
    for (const OpticalDevice& o : OpticalDevices(sysfs_)) {
      if (claimedDevices_.count({o.major, o.minor}) || claimedSources_.count(o.path)) continue;
      PlaceDevice(o.path, o.major, o.minor, DRIVE_CDROM);
    }
  }

  // The file systems of fixed disks that hold data: a disk that is neither removable nor
  // plugged in on USB, mounted outside the system's own folders and the folders the desktop
  // mounts plugged-in media under, and not the root file system's own device. They take their
  // letters in the order of their mount points, so that mounting them in another order at the
  // next start changes nothing.
  void FixedDataDisks() {
    const Mount* rootMount = FindMountOn(mounts_, "/");
    std::vector<const Mount*> disks;
    for (const Mount& m : mounts_) {
      if (m.mountPoint == "/" || Claimed(m) || TypeOfFileSystem(m.fsType) != 0) continue;
      if (m.source.rfind("/dev/", 0) != 0 || IsSystemFolder(m.mountPoint) || IsMediaFolder(m.mountPoint)) continue;
      // Another view of the root's device (a bind mount, a subvolume), or a bind mount of a
      // folder of some disk.
      if (rootMount && (m.source == rootMount->source ||
                        (m.major != 0 && m.major == rootMount->major && m.minor == rootMount->minor)))
        continue;
      if (m.root != "/" && m.fsType != "btrfs") continue;
      const DiskFacts f = FactsOfDevice(sysfs_, m.major, m.minor, m.source);
      if (!f.known || f.removable || f.optical || f.usb) continue;
      disks.push_back(&m);
    }
    std::stable_sort(disks.begin(), disks.end(),
                     [](const Mount* a, const Mount* b) { return a->mountPoint < b->mountPoint; });
    for (const Mount* m : disks)
      if (!Claimed(*m)) PlaceDevice(m->source, m->major, m->minor, DRIVE_FIXED);
  }

  void MediaAndShares() {
    std::vector<const Mount*> shares;
    for (const Mount& m : mounts_) {
      if (m.mountPoint == "/" || Claimed(m)) continue;
      const UINT fsKind = TypeOfFileSystem(m.fsType);
      if (fsKind == DRIVE_REMOTE) {
        claimedSources_.insert(m.source);
        shares.push_back(&m);
        continue;
      }
      if (fsKind == DRIVE_RAMDISK) continue;
      if (fsKind == 0 && m.major == 0 && m.source.rfind("/dev/", 0) != 0) continue;  // virtual
      UINT type = fsKind;
      if (type == 0) {
        const DiskFacts f = FactsOfDevice(sysfs_, m.major, m.minor, m.source);
        type = f.optical ? DRIVE_CDROM : f.removable ? DRIVE_REMOVABLE : DRIVE_FIXED;
        // A hard disk plugged in (on USB, or mounted where the desktop mounts plugged-in
        // media) comes and goes like a removable medium; it keeps its fixed type.
        if (type == DRIVE_FIXED &&
            !(f.known && (f.usb || IsMediaFolder(m.mountPoint)) && !IsSystemFolder(m.mountPoint)))
          continue;
      }
      PlaceDevice(m.source, m.major, m.minor, type);
    }
    for (const Mount* m : shares) {
      auto d = std::make_unique<Drive>();
      d->kind = Drive::Kind::Mount;
      d->type = DRIVE_REMOTE;
      d->path = m->mountPoint;
      d->source = m->source;
      SetMounted(*d, FindMountOn(mounts_, m->mountPoint));
      Place(std::move(d), FreeDown());
    }
  }

 private:
  // A device drive from D: up, ready while the device (numbers major:minor, 0 when unknown) is
  // mounted; the device is claimed.
  void PlaceDevice(const std::string& path, unsigned major, unsigned minor, UINT type) {
    DeviceIdentity id;
    if (major != 0) id.numbers.emplace_back(major, minor);
    id.paths.push_back(path);
    auto d = std::make_unique<Drive>();
    d->kind = Drive::Kind::Device;
    d->type = type;
    d->path = path;
    d->source = path;
    SetMounted(*d, FindDeviceMount(mounts_, id));
    if (major != 0) claimedDevices_.insert({major, minor});
    claimedSources_.insert(path);
    Place(std::move(d), FreeUp('D'));
  }

  // A drive of the table: a device (ready while mounted anywhere), a folder of a fixed drive,
  // or a folder that is ready while something is mounted on it.
  std::unique_ptr<Drive> TableDrive(const TableEntry& e) {
    auto d = std::make_unique<Drive>();
    d->letter = e.letter;
    d->origin = DriveOrigin::Table;
    d->path = e.path;
    d->source = e.path;
    d->name = e.name;
    if (e.device) {
      d->kind = Drive::Kind::Device;
      const DeviceIdentity id = IdentityOfDevicePath(e.path, sysfs_);
      const Mount* m = FindDeviceMount(mounts_, id);
      SetMounted(*d, m);
      d->type = e.type;
      if (d->type == DRIVE_UNKNOWN) {
        if (m) {
          d->type = TypeOfMount(*m, sysfs_);
        } else if (!id.numbers.empty()) {
          const DiskFacts f = FactsOfDevice(sysfs_, id.numbers[0].first, id.numbers[0].second, e.path);
          d->type = f.optical ? DRIVE_CDROM : (f.removable || !f.known ? DRIVE_REMOVABLE : DRIVE_FIXED);
        } else {
          d->type = DRIVE_REMOVABLE;
        }
      }
      for (const auto& n : id.numbers) claimedDevices_.insert(n);
      for (const std::string& p : id.paths) claimedSources_.insert(p);
      return d;
    }
    const std::string real = RealPathOr(e.path);
    d->root = real;
    claimedFolders_.insert(real);
    if (e.type == DRIVE_FIXED) {
      d->kind = Drive::Kind::Folder;
      d->type = DRIVE_FIXED;
      if (const Mount* holder = FindMountHolding(mounts_, real)) {
        d->fileSystem = holder->fsType;
        d->mount = *holder;
      }
    } else {
      d->kind = Drive::Kind::MountedFolder;
      const Mount* m = FindMountOn(mounts_, real);
      SetMounted(*d, m);
      d->root = real;
      d->type = e.type != DRIVE_UNKNOWN ? e.type : (m ? TypeOfMount(*m, sysfs_) : DRIVE_UNKNOWN);
    }
    return d;
  }

  char FreeUp(char from) const {
    for (char c = from; c <= 'Z'; ++c)
      if (!snap_.drives[c - 'A']) return c;
    return 0;
  }
  char FreeDown() const {
    for (char c = 'Z'; c >= 'D'; --c)
      if (!snap_.drives[c - 'A']) return c;
    return 0;
  }
  // A drive without a free letter is left out.
  void Place(std::unique_ptr<Drive> d, char letter) {
    if (!letter) return;
    d->letter = letter;
    snap_.drives[letter - 'A'] = std::move(d);
  }
  bool Claimed(const Mount& m) const {
    return (m.major != 0 && claimedDevices_.count({m.major, m.minor})) || claimedFolders_.count(m.mountPoint) ||
           claimedSources_.count(m.source);
  }

  Snapshot& snap_;
  const std::vector<Mount>& mounts_;
  const std::string& sysfs_;
  std::set<std::pair<unsigned, unsigned>> claimedDevices_;
  std::set<std::string> claimedFolders_, claimedSources_;
};

}  // namespace

void BuildSnapshot(Snapshot& snap, const std::vector<Mount>& mounts, const DriveTable& table,
                   const std::string& sysfs) {
  for (auto& d : snap.drives) d.reset();
  snap.warnings = table.warnings;
  LetterAssignment letters(snap, mounts, sysfs);
  letters.TableEntries(table);
  letters.RootFileSystem();
  letters.OpticalDrives();
  letters.FixedDataDisks();
  letters.MediaAndShares();
}

}  // namespace volumes::detail
