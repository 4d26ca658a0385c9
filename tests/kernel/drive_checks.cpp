// The drive layer against QEMU's CD-ROM emulations, through the kernel.
#include "drive_checks.h"

#include <cstring>
#include <memory>
#include <vector>

#include "answer_script.h"
#include "dorvik.h"
#include "drive/drive.h"
#include "exercises.h"
#include "registry/device_registry.h"
#include "registry/device_scan.h"
#include "sha256.h"
#include "transport/sg_io_device.h"

namespace dorvik::kernel {

namespace {

std::string SenseText(const SenseResult& s) { return Format("%X/%02X/%02X", s.senseKey, s.asc, s.ascq); }
bool SenseIs(const SenseResult& s, uint8_t key, uint8_t asc, uint8_t ascq) {
  return s.senseKey == key && s.asc == asc && s.ascq == ascq;
}

// One device's checks, named DRIVE/VIA/CHECK.
class DriveCheck {
 public:
  DriveCheck(Report& report, const PlannedDrive& d, std::string prefix, Recorder& r)
      : report_(report), d_(d), prefix_(std::move(prefix)), r_(r) {}

  bool Check(const std::string& name, bool ok, const std::string& why = {}) {
    return report_.Check(prefix_ + name, ok, why);
  }
  void Info(const std::string& name, const std::string& text) { report_.Info(prefix_ + name, text); }

  // A full TOC counts time in minutes below 90; past that (the large
  // image) its lead-out reads as lead-in time, so what is derived from it
  // is reported, not judged.
  bool Judged(const std::string& name, bool ok, const std::string& why) {
    if (d_.role == "large") {
      Info(name, std::string(ok ? "as on a CD: " : "past 90 minutes: ") + why);
      return ok;
    }
    return Check(name, ok, why);
  }

  bool HasDisc() const { return d_.role != "empty"; }
  bool IsAtapi() const { return d_.bus == "ata"; }

  void Identity() {
    char vendor[8], product[16];
    const int r = r_.GetVendorProduct(vendor, product);
    const std::string v(vendor, strnlen(vendor, 8)), p(product, strnlen(product, 16));
    Check("identity", r == 0 && Trim(v) == d_.vendor && Trim(p) == d_.product,
          Format("got '%s' '%s' (result %d), want '%s' '%s'", v.c_str(), p.c_str(), r, d_.vendor.c_str(),
                 d_.product.c_str()));
  }

  void Readiness() {
    const int ready = r_.IsReady();
    if (HasDisc()) {
      Check("ready", ready == 0, Format("TEST UNIT READY gave %d, sense %s", ready, SenseText(r_.LastSense()).c_str()));
    } else {
      Check("no-medium", ready == 1 && SenseIs(r_.LastSense(), 2, 0x3A, 0x00),
            Format("result %d, sense %s; want 1 and 2/3A/00", ready, SenseText(r_.LastSense()).c_str()));
    }
  }

  void Profile() {
    const uint32_t want = d_.role == "disc" ? kProfileCdRom : d_.role == "large" ? kProfileDvdRom : kProfileNone;
    const uint32_t got = r_.CurrentProfile();
    Check("profile", got == want, Format("got 0x%04X, want 0x%04X", got, want));
    const uint32_t driveClass = r_.DriveClass();
    Check("drive-class", driveClass == 2, Format("class %u, want 2 (DVD-ROM reader)", driveClass));
  }

  void DiscInformation() {
    uint8_t info[kDiscInformationLength];
    const int r = r_.ReadDiscInformation(info);
    if (!HasDisc()) {
      Check("disc-info", r == 1 && r_.LastSense().senseKey == 2, Format("result %d, sense %s", r, SenseText(r_.LastSense()).c_str()));
    } else {
      Check("disc-info", r == 0 && (info[2] & 3) == 2 && (info[2] & 0x10) == 0 && info[3] == 1 && info[6] == 1,
            Format("result %d, status byte 0x%02X, first track %u, last track %u", r, info[2], info[3], info[6]));
    }
    Check("blank-writable", r_.IsBlank() == 0 && r_.IsWritable() == 0, "a pressed disc or no disc is neither");
  }

  void TrackInformation() {
    uint8_t record[kTrackInformationLength];
    const int r = r_.ReadTrackInformation(record, 1, 1);
    Check("track-info-refused", r == 1 && SenseIs(r_.LastSense(), 5, 0x20, 0x00),
          Format("result %d, sense %s; want 1 and 5/20/00", r, SenseText(r_.LastSense()).c_str()));
    std::memset(record, 0xEE, sizeof record);
    const int t = r_.TrackInfoFromToc(record, 1, 1);
    Judged("toc-fallback", t == 0 && record[2] == 1 && record[3] == 1 && (record[5] & 0x0F) == 4 &&
                              (record[6] & 0x0F) == 1 && Be32(record + 8) == 0 && Be32(record + 24) == d_.blocks,
          Format("result %d, track %u session %u modes %u/%u start %u size %u (want size %u)", t, record[2], record[3],
                 record[5] & 0x0F, record[6] & 0x0F, Be32(record + 8), Be32(record + 24), d_.blocks));
    std::memset(record, 0, sizeof record);
    const int a = r_.TrackInfoFromToc(record, 0, d_.blocks - 1);
    Check("toc-fallback-by-address", a == 0 && record[2] == 1, Format("result %d, track %u", a, record[2]));
  }

  void TocFormats() {
    std::vector<uint8_t> toc(kTocAnswerLength);
    const int f0 = r_.ReadToc(toc.data(), kTocAnswerLength, 0, 0);
    const uint32_t leadOut = Be32(toc.data() + 4 + 8 + 4);
    Check("toc-formatted", f0 == 0 && toc[2] == 1 && toc[3] == 1 && toc[4 + 8 + 2] == 0xAA && leadOut == d_.blocks,
          Format("result %d, tracks %u..%u, lead-out %u", f0, toc[2], toc[3], leadOut));
    const int f1 = r_.ReadToc(toc.data(), kTocAnswerLength, 1, 0);
    Check("toc-sessions", f1 == 0 && Be16(toc.data()) == 10 && toc[2] == 1 && toc[3] == 1,
          Format("result %d, length %u", f1, Be16(toc.data())));
    const int f2 = r_.ReadToc(toc.data(), kTocAnswerLength, 2, 0);
    const uint32_t length = Be16(toc.data());
    int32_t a2 = -1;
    for (uint32_t pos = 4; pos + 11 <= length + 2 && pos + 11 <= toc.size(); pos += 11)
      if (toc[pos + 3] == 0xA2) a2 = MsfToLba(toc[pos + 7], toc[pos + 8], toc[pos + 9], toc[pos + 10]);
    Judged("toc-full", f2 == 0 && length >= 2 && (length - 2) % 11 == 0 && a2 == static_cast<int32_t>(d_.blocks),
          Format("result %d, length %u, lead-out %d", f2, length, a2));
  }

  void FreeSpace() {
    uint32_t free = 0;
    const bool got = r_.FreeBlocks(&free);
    if (HasDisc())
      Judged("free-blocks", got && free == d_.blocks, Format("%s, %u blocks; want the track's %u", got ? "true" : "false", free, d_.blocks));
    else
      Check("free-blocks", !got && free == 0, Format("%s, %u blocks", got ? "true" : "false", free));
    int32_t nwa = 12345;
    const int n = r_.NextWritableAddress(&nwa);
    Check("next-writable-refused", n == 1 && nwa == 12345 && r_.LastSense().senseKey != 0,
          Format("result %d, address %d, sense %s", n, nwa, SenseText(r_.LastSense()).c_str()));
  }

  void ReadBack() {
    std::vector<uint8_t> chunk(32 * kUserSectorLength);
    Sha256 digest;
    uint32_t lba = 0;
    int r = 0;
    while (lba < d_.dataBlocks && r == 0) {
      const uint32_t n = std::min<uint32_t>(32, d_.dataBlocks - lba);
      r = r_.Read10(chunk.data(), n * kUserSectorLength, n, lba);
      digest.Update(chunk.data(), n * kUserSectorLength);
      lba += n;
    }
    const std::string got = digest.HexDigest();
    Check("read10-digest", r == 0 && got == d_.sha256, Format("result %d at %u, digest %s", r, lba, got.c_str()));
    if (d_.dataBlocks < d_.blocks) {
      std::vector<uint8_t> last(kUserSectorLength, 0xEE);
      const int l = r_.Read10(last.data(), kUserSectorLength, 1, d_.blocks - 1);
      Check("read10-last-block", l == 0 && last == std::vector<uint8_t>(kUserSectorLength, 0), Format("result %d", l));
    }
    std::vector<uint8_t> beyond(kUserSectorLength, 0);
    const int b = r_.Read10(beyond.data(), kUserSectorLength, 1, d_.blocks);
    Check("read10-past-the-end", b == 1 && SenseIs(r_.LastSense(), 5, 0x21, 0x00) &&
                                     beyond == std::vector<uint8_t>(kUserSectorLength, 0),
          Format("result %d, sense %s, buffer %s", b, SenseText(r_.LastSense()).c_str(),
                 beyond == std::vector<uint8_t>(kUserSectorLength, 0) ? "untouched" : "CHANGED"));
  }

  void ReadCd() {
    std::vector<uint8_t> user(kUserSectorLength);
    r_.Read10(user.data(), kUserSectorLength, 1, 16);
    std::vector<uint8_t> raw(kRawSectorLength, 0);
    const int r = r_.ReadRawSectors(raw.data(), kRawSectorLength, 1, 16);
    if (IsAtapi()) {
      const uint8_t sync[12] = {0, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0};
      const bool headerOk = raw[12] == 0 && raw[13] == 2 && raw[14] == 16 && raw[15] == 1;  // 00:02:16, mode 1
      Check("read-cd-raw", r == 0 && std::memcmp(raw.data(), sync, 12) == 0 && headerOk &&
                               std::memcmp(raw.data() + 16, user.data(), kUserSectorLength) == 0,
            Format("result %d, header %02x %02x %02x %02x", r, raw[12], raw[13], raw[14], raw[15]));
      bool edcZero = true;
      for (size_t i = 16 + kUserSectorLength; i < kRawSectorLength; ++i) edcZero = edcZero && raw[i] == 0;
      Info("read-cd-edc", edcZero ? "EDC/ECC bytes are zero" : "EDC/ECC bytes are set");
    } else {
      Check("read-cd-refused", r == 1 && r_.LastSense().senseKey == 5,
            Format("result %d, sense %s", r, SenseText(r_.LastSense()).c_str()));
    }
    std::vector<uint8_t> viaUser(kUserSectorLength, 0);
    const int u = r_.ReadUserSectors(viaUser.data(), kUserSectorLength, 1, 16);
    Check("read-user-sectors", u == 0 && viaUser == user, Format("result %d", u));
    Check("file-system", r_.FileSystemKind(0) == kIso9660, "sector 16 should hold the ISO 9660 descriptor");
  }

  void WritesRefused() {
    std::vector<uint8_t> zeros(kUserSectorLength * 16, 0);
    struct Attempt {
      const char* name;
      int result;
    };
    const Attempt attempts[] = {
        {"write10", r_.Write10(0, zeros.data(), static_cast<uint32_t>(zeros.size()), 16)},
        {"blank", r_.Blank(1)},
        {"reserve-track", r_.ReserveTrack(100)},
        {"close-track", r_.CloseTrack(1)},
    };
    for (const Attempt& a : attempts) Check(std::string("refused-") + a.name, a.result == 1, Format("result %d", a.result));
    Check("refused-sense", r_.LastSense().senseKey == 5 || r_.LastSense().senseKey == 7 || r_.LastSense().senseKey == 2,
          "sense " + SenseText(r_.LastSense()));
    // scsi-cd takes FORMAT UNIT as a no-op; the host checks no image changed.
    Info("format", Format("answered %d", r_.FormatPlusRw()));
    const int erase = r_.EraseMedium();
    Check("erase-not-erasable", erase == DORVIK_E_NOT_ERASABLE, Format("erase answered %d", erase));
    WriteSettings settings;
    settings.trackMode = 4;
    settings.dataBlockType = 8;
    Info("write-parameters", Format("page 5 write answered %d, sense %s", r_.SetWriteParameters(kWriteTrackAtOnce, settings),
                                    SenseText(r_.LastSense()).c_str()));
    Info("synchronize-cache", Format("answered %d, sense %s", r_.SynchronizeCache(), SenseText(r_.LastSense()).c_str()));
    if (HasDisc()) Check("still-ready", r_.IsReady() == 0, "the drive must stay usable after refusing writes");
  }

 private:
  static std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == 0)) s.pop_back();
    return s;
  }
  Report& report_;
  const PlannedDrive& d_;
  std::string prefix_;
  Recorder& r_;
};

}  // namespace

void CheckDrive(Report& report, const PlannedDrive& d, const std::string& via, const std::string& node,
                RoutingTransport& transport, DeviceId id) {
  const std::string prefix = d.name + "/" + via + "/";
  if (!report.Check(prefix + "node", !node.empty(), "no device node found in /sys")) return;
  transport.Attach(id, std::make_unique<SgIoDevice>(node));
  {
    Recorder recorder(id, &transport);
    recorder.SetReadyWaitLimit(5000);
    DriveCheck c(report, d, prefix, recorder);
    c.Identity();
    c.Readiness();
    c.Profile();
    c.DiscInformation();
    c.FreeSpace();
    if (c.HasDisc()) {
      c.TrackInformation();
      c.TocFormats();
      c.ReadBack();
      c.ReadCd();
    }
    c.WritesRefused();
  }
  transport.Attach(id, nullptr);
}

void CheckScan(Report& report, const Plan& plan) {
  const auto nodes = ListOpticalDeviceNodes();
  report.Check("scan/nodes", nodes.size() == plan.drives.size(),
               Format("%zu /dev/sr nodes for %zu drives", nodes.size(), plan.drives.size()));
  // Each drive answers its capabilities page, and the page shows no writing:
  // that, not a failed read, is why it stays out.
  RoutingTransport transport;
  DeviceId id = 1;
  for (const auto& node : nodes) {
    transport.Attach(id, std::make_unique<SgIoDevice>(node));
    Drive probe(id, &transport);
    uint8_t page[kCapabilitiesLength] = {0x2A};
    SenseResult sense{};
    const int r = probe.ReadModePage(page, kCapabilitiesLength, id, &sense, 0x2A);
    report.Check("scan/" + node.substr(5) + "-page", r == 0 && (page[0] & 0x3F) == 0x2A && !DeviceRegistry::CanRecord(page),
                 Format("page read %d, code 0x%02X, bytes 2..3 %02X %02X", r, page[0], page[2], page[3]));
    ++id;
  }
  DeviceRegistry registry;
  registry.Build();
  bool onlyInert = registry.Count() == 1 && registry.Find(0) != nullptr;
  for (DeviceId i = 1; i <= nodes.size(); ++i) onlyInert = onlyInert && registry.Find(i) == nullptr;
  report.Check("scan/registry", onlyInert, Format("%u entries; want only the inert one", registry.Count()));
}

void RecordSeeds(Report& report, const PlannedDrive& d) {
  if (d.srNode.empty()) return;
  SgIoDevice device(d.srNode);
  for (const auto& target : fuzz::kDriveTargets) {
    RoutingTransport transport;
    auto recording = std::make_unique<fuzz::RecordingDevice>(device);
    fuzz::RecordingDevice* log = recording.get();
    transport.Attach(fuzz::ScriptedDrive::kId, std::move(recording));
    const uint8_t parameters[fuzz::kParameterBytes] = {0x01, 0x00, 0x00, 0x01};
    {
      Recorder drive(fuzz::ScriptedDrive::kId, &transport);
      drive.SetReadyWaitLimit(0);
      target.exercise(drive, &transport, parameters);
    }
    std::string seed(reinterpret_cast<const char*>(parameters), fuzz::kParameterBytes);
    const auto script = fuzz::SerializeScript(log->Answers());
    seed.append(script.begin(), script.end());
    report.Seed(target.name, "qemu-" + d.name, seed);
    transport.Attach(fuzz::ScriptedDrive::kId, nullptr);
  }
}

}  // namespace dorvik::kernel
