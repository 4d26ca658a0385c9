// INQUIRY, GET CONFIGURATION and the capabilities mode page: what the drive
// says about itself, which depends on its model and the medium loaded.
#include <algorithm>
#include <cstring>

#include "emulator/answers.h"
#include "emulator/bytes.h"

namespace dorvik::emulator {

namespace {

void PutPadded(uint8_t* at, const std::string& text, size_t width) {
  std::memset(at, ' ', width);
  std::memcpy(at, text.data(), std::min(text.size(), width));
}

struct Feature {
  uint16_t code;
  uint8_t version;
  bool persistent;
  bool current;
  std::vector<uint8_t> data;
};

bool Is(const Disc* disc, std::initializer_list<MediumKind> kinds) {
  if (!disc) return false;
  return std::find(kinds.begin(), kinds.end(), disc->Kind()) != kinds.end();
}

// CD write data block types 0..3 (audio, raw) and 8 (Mode 1) as the
// feature bit mask.
constexpr uint16_t kCdDataBlockTypes = 0x010F;

std::vector<Feature> FeaturesOf(const DriveView& view) {
  const RecorderOptions& o = *view.options;
  const Disc* disc = view.disc;
  const bool cdMedium = disc && disc->Traits().cd;
  const bool dvdMedium = disc && !disc->Traits().cd;
  const bool dvdDrive = o.model != DriveModel::CdRecorder;
  const bool writer = o.model != DriveModel::DvdReader;
  const uint16_t current = disc ? disc->Traits().profile : 0;

  std::vector<Feature> f;
  Feature profiles{0x0000, 0, true, true, {}};
  for (uint16_t p : ProfilesOf(o.model)) {
    Append16(profiles.data, p);
    profiles.data.push_back(p == current ? 0x01 : 0x00);
    profiles.data.push_back(0);
  }
  f.push_back(profiles);
  f.push_back({0x0001, 2, true, true, {0, 0, 0, 2, 0x03, 0, 0, 0}});  // ATAPI, INQ2 and DBE
  f.push_back({0x0002, 1, true, true, {0x02, 0, 0, 0}});              // OCEvent
  f.push_back({0x0003, 0, true, true, {0x29, 0, 0, 0}});              // tray, eject, lock
  f.push_back({0x0010, 0, false, disc != nullptr, {0, 0, 0x08, 0, 0, static_cast<uint8_t>(dvdMedium ? 16 : 1), 0x01, 0}});
  f.push_back({0x001D, 0, false, cdMedium, {}});
  f.push_back({0x001E, 2, false, cdMedium, {0x02, 0, 0, 0}});
  if (dvdDrive) f.push_back({0x001F, 0, false, dvdMedium, {}});
  if (writer && dvdDrive) {
    std::vector<uint8_t> d(12, 0);
    Put32(d.data(), disc ? disc->Capacity() - 1 : 0);
    Put32(d.data() + 4, 2048);
    Put16(d.data() + 8, 16);
    d[10] = 0x01;
    f.push_back({0x0020, 0, false, Is(disc, {MediumKind::DvdRam, MediumKind::DvdRwRestricted}), d});
  }
  if (writer) {
    std::vector<uint8_t> d = {kCdDataBlockTypes >> 8, kCdDataBlockTypes & 0xFF, 0x01, 0x01,
                              static_cast<uint8_t>(dvdMedium ? 16 : 7), 0, 0, 0};
    f.push_back({0x0021, 1, false,
                 Is(disc, {MediumKind::CdR, MediumKind::CdRw, MediumKind::DvdR, MediumKind::DvdRwSequential}), d});
  }
  if (writer && dvdDrive) {
    f.push_back({0x0023, 1, false,
                 Is(disc, {MediumKind::DvdPlusRw, MediumKind::DvdRam, MediumKind::DvdRwRestricted,
                           MediumKind::DvdRwSequential}),
                 {0, 0, 0, 0, 0, 0, 0, 0}});
    f.push_back({0x0024, 0, false, Is(disc, {MediumKind::DvdRam}), {0, 0, 0, 0}});
    f.push_back({0x0026, 0, false, Is(disc, {MediumKind::DvdRwRestricted}), {}});
    f.push_back({0x002A, 1, false, Is(disc, {MediumKind::DvdPlusRw}), {0x01, 0x00, 0, 0}});
    f.push_back({0x002B, 0, false, Is(disc, {MediumKind::DvdPlusR}), {0x01, 0, 0, 0}});
    f.push_back({0x002C, 0, false, Is(disc, {MediumKind::DvdRwRestricted}), {0x0F, 0, 0, 0}});
  }
  const bool cdWritable = Is(disc, {MediumKind::CdR, MediumKind::CdRw});
  if (writer && o.trackAtOnce)
    f.push_back({0x002D, 2, false, cdWritable, {0x46, 0, kCdDataBlockTypes >> 8, kCdDataBlockTypes & 0xFF}});
  if (writer && o.mastering) f.push_back({0x002E, 1, false, cdWritable, {0x7E, 0x00, 0xFF, 0xFF}});
  if (writer && dvdDrive)
    f.push_back({0x002F, 1, false, Is(disc, {MediumKind::DvdR, MediumKind::DvdRwSequential}), {0x46, 0, 0, 0}});
  f.push_back({0x0100, 0, true, true, {}});
  return f;
}

}  // namespace

std::vector<uint8_t> InquiryAnswer(const RecorderOptions& options) {
  std::vector<uint8_t> out(96, 0);
  out[0] = 0x05;  // CD/DVD device
  out[1] = 0x80;  // removable
  out[2] = 0x05;  // SPC-3
  out[3] = 0x02;  // response data format
  out[4] = 96 - 5;
  PutPadded(out.data() + 8, options.vendor, 8);
  PutPadded(out.data() + 16, options.product, 16);
  PutPadded(out.data() + 32, options.revision, 4);
  Put16(out.data() + 58, 0x02A0);  // MMC-5
  Put16(out.data() + 60, 0x0300);  // SPC-3
  return out;
}

std::vector<uint8_t> ConfigurationAnswer(const DriveView& view, uint8_t requestType, uint16_t startingFeature) {
  std::vector<uint8_t> out(8, 0);
  Put16(out.data() + 6, view.disc ? view.disc->Traits().profile : 0);
  for (const auto& feature : FeaturesOf(view)) {
    if (feature.code < startingFeature) continue;
    if (requestType == 1 && !feature.current) continue;
    if (requestType == 2 && feature.code != startingFeature) continue;
    Append16(out, feature.code);
    out.push_back(static_cast<uint8_t>((feature.version << 2) | (feature.persistent ? 2 : 0) | (feature.current ? 1 : 0)));
    out.push_back(static_cast<uint8_t>(feature.data.size()));
    out.insert(out.end(), feature.data.begin(), feature.data.end());
  }
  Put32(out.data(), static_cast<uint32_t>(out.size() - 4));
  return out;
}

std::vector<uint8_t> CapabilitiesPage(const DriveView& view) {
  const RecorderOptions& o = *view.options;
  const size_t n = view.writeSpeeds.size();
  std::vector<uint8_t> p(32 + 4 * n, 0);
  p[0] = 0x2A;
  p[1] = static_cast<uint8_t>(p.size() - 2);
  const bool dvd = o.model != DriveModel::CdRecorder;
  p[2] = static_cast<uint8_t>(0x07 | (dvd ? 0x38 : 0));  // CD-R, CD-RW, method 2; DVD-ROM, DVD-R, DVD-RAM
  switch (o.model) {
    case DriveModel::DvdRecorder: p[3] = 0x37; break;   // CD-R, CD-RW, test write, DVD-R, DVD-RAM
    case DriveModel::CdRecorder: p[3] = 0x07; break;    // CD-R, CD-RW, test write
    case DriveModel::DvdReader: p[3] = 0x00; break;
  }
  p[4] = static_cast<uint8_t>(0x71 | (o.model != DriveModel::DvdReader ? 0x80 : 0));  // audio, mode 2, multisession, BUF
  p[5] = 0x03;
  p[6] = static_cast<uint8_t>(0x29 | (view.prevented ? 0x02 : 0));  // tray, eject, lock (and its state)
  Put16(p.data() + 8, view.maxReadSpeed);
  Put16(p.data() + 10, 256);
  Put16(p.data() + 12, o.bufferBlocks * 2);
  Put16(p.data() + 14, view.readSpeed);
  Put16(p.data() + 18, n ? view.writeSpeeds.front() : 0);
  Put16(p.data() + 20, view.writeSpeed);
  Put16(p.data() + 28, view.writeSpeed);
  Put16(p.data() + 30, static_cast<uint32_t>(n));
  for (size_t i = 0; i < n; ++i) Put16(p.data() + 32 + 4 * i + 2, view.writeSpeeds[i]);
  return p;
}

}  // namespace dorvik::emulator
