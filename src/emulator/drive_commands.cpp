// The recorder's commands about the drive itself: readiness, identity, the
// tray, mode pages, features and speeds.
#include "emulator/answers.h"
#include "emulator/bytes.h"
#include "emulator/virtual_recorder.h"

namespace dorvik::emulator {

VirtualRecorder::Reply VirtualRecorder::TestUnitReady() {
  if (auto missing = MediumMissing()) return {*missing};
  const bool saysReady =
      options_.readyWhileClosing && (busyWith_ == BusyWith::Closing || busyWith_ == BusyWith::Flushing);
  if (auto busy = BusySense(); busy && !saysReady) return {*busy};
  return {};
}

VirtualRecorder::Reply VirtualRecorder::RequestSense(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  Sense s = lastSense_;
  if (auto busy = BusySense()) s = *busy;
  else if (auto missing = MediumMissing()) s = *missing;
  const auto sense = FixedFormatSense(s);
  const std::vector<uint8_t> answer(sense.begin(), sense.end());
  lastSense_ = Sense::None();
  return {Sense::None(), CopyAnswer(answer, cdb[4], data, length)};
}

VirtualRecorder::Reply VirtualRecorder::Inquiry(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  const uint32_t allocation = Get16(cdb + 3);
  if (cdb[1] & 0x01) {
    std::vector<uint8_t> page(4, 0);
    page[0] = 0x05;
    page[1] = cdb[2];
    if (cdb[2] == 0x00) {
      page.push_back(0x00);
      page.push_back(0x80);
    } else if (cdb[2] == 0x80) {
      for (char c : std::string("DVR00001")) page.push_back(static_cast<uint8_t>(c));
    } else {
      return {sense::InvalidFieldInCdb()};
    }
    page[3] = static_cast<uint8_t>(page.size() - 4);
    return {Sense::None(), CopyAnswer(page, allocation, data, length)};
  }
  if (cdb[2] != 0) return {sense::InvalidFieldInCdb()};
  return {Sense::None(), CopyAnswer(InquiryAnswer(options_), allocation, data, length)};
}

VirtualRecorder::Reply VirtualRecorder::StartStopUnit(const uint8_t* cdb) {
  if (cdb[4] >> 4) return {};  // a power condition: the tray is left alone
  const bool loadEject = (cdb[4] & 0x02) != 0;
  const bool start = (cdb[4] & 0x01) != 0;
  if (!loadEject) return {};  // spinning up or down changes nothing we keep
  if (start) {
    trayOpen_ = false;
    return {};
  }
  if (prevented_) return {sense::MediumRemovalPrevented()};
  if (auto busy = BusySense()) return {*busy};
  trayOpen_ = true;
  simulation_.reset();
  EndStreaming();
  return {};
}

VirtualRecorder::Reply VirtualRecorder::PreventAllow(const uint8_t* cdb) {
  prevented_ = (cdb[4] & 0x03) != 0;
  return {};
}

VirtualRecorder::Reply VirtualRecorder::ModeSense(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  const uint8_t control = cdb[2] >> 6;
  const uint8_t page = cdb[2] & 0x3F;
  const uint32_t allocation = Get16(cdb + 7);
  if (control == 3) return {sense::SavingParametersNotSupported()};
  if (cdb[3] != 0 && cdb[3] != 0xFF) return {sense::InvalidFieldInCdb()};
  const bool writer = options_.model != DriveModel::DvdReader;
  std::vector<uint8_t> answer(8, 0);
  auto add = [&](const uint8_t* p, size_t n) { answer.insert(answer.end(), p, p + n); };
  bool found = false;
  if ((page == 0x05 || page == 0x3F) && writer) {
    const WriteParametersPage p = control == 1   ? ChangeableWriteParameters()
                                  : control == 2 ? DefaultWriteParameters()
                                                 : writeParameters_;
    add(p.data(), p.size());
    found = true;
  }
  if (page == 0x2A || page == 0x3F) {
    std::vector<uint8_t> p = CapabilitiesPage(View());
    if (control == 1) std::fill(p.begin() + 2, p.end(), 0);  // nothing on it can be changed
    add(p.data(), p.size());
    found = true;
  }
  if (!found) return {sense::InvalidFieldInCdb()};
  Put16(answer.data(), static_cast<uint32_t>(answer.size() - 2));
  return {Sense::None(), CopyAnswer(answer, allocation, data, length)};
}

VirtualRecorder::Reply VirtualRecorder::ModeSelect(const uint8_t* cdb, const uint8_t* data, uint32_t length) {
  if (!(cdb[1] & 0x10) || (cdb[1] & 0x01)) return {sense::InvalidFieldInCdb()};  // PF must be set, SP clear
  const uint32_t listLength = Get16(cdb + 7);
  if (listLength == 0) return {};
  if (!data || length < listLength) return {sense::ParameterListLengthError()};
  if (listLength < 8) return {sense::ParameterListLengthError()};
  const uint32_t descriptors = Get16(data + 6);
  uint32_t at = 8 + descriptors;
  if (at > listLength) return {sense::ParameterListLengthError()};
  // Every page is checked before any takes effect.
  std::vector<std::pair<uint32_t, uint32_t>> pages;
  while (at < listLength) {
    if (listLength - at < 2) return {sense::ParameterListLengthError()};
    const uint32_t pageLength = 2u + data[at + 1];
    if (at + pageLength > listLength) return {sense::ParameterListLengthError()};
    if ((data[at] & 0x3F) != 0x05) return {sense::InvalidFieldInParameterList()};
    Sense s = ValidateWriteParameters(data + at, pageLength, options_, UsableDisc());
    if (!s.Good()) return {s};
    pages.emplace_back(at, pageLength);
    at += pageLength;
  }
  for (const auto& [offset, pageLength] : pages) {
    WriteParametersPage p{};
    std::copy_n(data + offset, std::min<uint32_t>(pageLength, kWriteParametersPageSize), p.begin());
    p[0] &= 0x3F;
    p[1] = 0x32;
    writeParameters_ = p;
  }
  // Leaving test write ends a simulated recording; a new page for the next
  // track of one keeps it.
  if (!Simulating()) simulation_.reset();
  return {};
}

VirtualRecorder::Reply VirtualRecorder::GetConfiguration(const uint8_t* cdb, uint8_t* data, uint32_t length) {
  const uint8_t requestType = cdb[1] & 0x03;
  if (requestType == 3) return {sense::InvalidFieldInCdb()};
  const auto answer = ConfigurationAnswer(View(), requestType, Get16(cdb + 2));
  return {Sense::None(), CopyAnswer(answer, Get16(cdb + 7), data, length)};
}

VirtualRecorder::Reply VirtualRecorder::SetCdSpeed(const uint8_t* cdb) {
  if ((cdb[1] & 0x03) > 1) return {sense::InvalidFieldInCdb()};
  requestedReadSpeed_ = Get16(cdb + 2);
  requestedWriteSpeed_ = Get16(cdb + 4);
  return {};
}

}  // namespace dorvik::emulator
