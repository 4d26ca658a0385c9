// Faults a drive shows while a track is written: busy, write errors once
// and for good, a damaged track, a drive busy for ever, the medium taken
// out, a failing flush or close. Every job returns, leaves no thread
// behind, and the library keeps working.
#include <gtest/gtest.h>

#include "burn_fixture.h"
#include "dorvik.h"

namespace dorvik::test {
namespace {

struct Fault {
  const char* medium;
  const char* faults;
};

std::string Name(const ::testing::TestParamInfo<Fault>& info) {
  std::string n = std::string(info.param.medium) + "_" + info.param.faults;
  for (char& c : n)
    if (!isalnum(static_cast<unsigned char>(c))) c = '_';
  return n;
}

// The job runs through and the disc is whole.
class Recovered : public ::testing::TestWithParam<Fault> {};

TEST_P(Recovered, TheDiscIsComplete) {
  Burner b({GetParam().medium, "", GetParam().faults, {}, ""});
  b.AddTree();
  const size_t threads = ThreadCount();
  ASSERT_EQ(Vuz_WriteDataCDEx("FAULTS", 0, 0, 0, 0), 1);
  EXPECT_LE(ThreadCount(), threads);
  const Bytes want = Burner::Composed("FAULTS", 0);
  EXPECT_TRUE(b.Disc(0, want.size() / 2048) == want);
  ASSERT_EQ(Vuz_Load(), 1);
  // Closed: a DVD+R's closed session leaves the disc appendable.
  EXPECT_EQ(b.DiscStatus(), std::string(GetParam().medium) == "dvd+r" ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(Faults, Recovered,
                         ::testing::Values(
                             // Long write in progress for several writes, then room.
                             Fault{"cd-r", "2A@3x5=02/04/08"}, Fault{"dvd-r", "2A@2x8=02/04/08"},
                             // Operation in progress, then a write error: each is retried.
                             Fault{"dvd+r", "2A@5x3=02/04/07;2A@9=03/0C/00"},
                             Fault{"cd-rw", "2A@4=03/0C/00"}, Fault{"dvd-rw-seq", "2A@6x10=03/0C/09"}),
                         Name);

// The track ends early; the job still finishes it and returns, and the
// library answers and writes again (on the second drive here, since the
// fault stays with the first).
class TrackEnded : public ::testing::TestWithParam<Fault> {};

TEST_P(TrackEnded, TheJobReturnsAndTheLibraryKeepsWorking) {
  Burner b({GetParam().medium, "", "", {}, "dvd-ram"});
  b.AddFaults(GetParam().faults);
  b.AddTree();
  b.Drive().SetReadyWaitLimit(60000);  // readiness waits give up after a minute, not two hours
  const size_t threads = ThreadCount();
  EXPECT_EQ(Vuz_WriteDataCDEx("FAULTS", 0, 0, 0, 0), 1);
  EXPECT_LE(ThreadCount(), threads);
  EXPECT_EQ(Vuz_WriteGetProgress(), 0);
  char name[260] = {};
  Vuz_WriteGetCurrBurnFileName(name);
  EXPECT_STREQ(name, "");
  int32_t blank, writable, profile;
  EXPECT_NE(Vuz_GetDiscInfo(&blank, &writable, &profile), DORVIK_E_BUSY);

  ASSERT_EQ(Vuz_SetDevice(2), 1);
  ASSERT_EQ(Vuz_WriteDataCDEx("AGAIN", 0, 0, 0, 0), 1);
  const Bytes want = Burner::Composed("AGAIN", 0);
  EXPECT_TRUE(ReadBytes(b.SecondDiscPath(), 0, want.size()) == want);
}

INSTANTIATE_TEST_SUITE_P(Faults, TrackEnded,
                         ::testing::Values(
                             // A write error that persists past the retries.
                             Fault{"dvd+rw", "2A@4x*=03/0C/00"},
                             // A write error that damages the track: later writes are refused.
                             Fault{"cd-r", "2A@5=damage"}, Fault{"dvd-r", "2A@5=damage"},
                             // A drive busy for ever: the retries are bounded.
                             Fault{"cd-rw", "2A@3x*=02/04/08"},
                             // The medium taken out in the middle.
                             Fault{"dvd-rw-seq", "2A@10=remove"}, Fault{"cd-r", "2A@10=remove"},
                             // Another refusal ends the track at once.
                             Fault{"dvd-ram", "2A@3=05/21/00"}),
                         Name);

// The finish fails or stalls: nothing is reported, nothing hangs.
class FinishFails : public ::testing::TestWithParam<Fault> {};

TEST_P(FinishFails, TheJobReturnsOne) {
  Burner b({GetParam().medium, "", GetParam().faults, {}, ""});
  b.AddTree();
  b.Drive().SetReadyWaitLimit(60000);
  const size_t threads = ThreadCount();
  EXPECT_EQ(Vuz_WriteDataCD("FINISH", 0, 0), 1);
  EXPECT_LE(ThreadCount(), threads);
  const Bytes want = Burner::Composed("FINISH", 0);
  EXPECT_TRUE(b.Disc(0, want.size() / 2048) == want) << "the blocks were all written before the finish";
}

INSTANTIATE_TEST_SUITE_P(Faults, FinishFails,
                         ::testing::Values(Fault{"cd-r", "35=03/0C/00"}, Fault{"cd-r", "5B.1=05/24/00"},
                                           Fault{"cd-rw", "5B.2x*=03/72/00"}, Fault{"dvd+r", "5B.1x*=05/24/00"},
                                           Fault{"dvd-r", "35x*=02/04/08"}, Fault{"dvd+rw", "00@2x*=02/04/07"},
                                           // Busy disc information from the session's close on (the
                                           // job's planning and the track's start read it four times).
                                           Fault{"cd-r", "51@5x*=02/04/08"}),
                         Name);

}  // namespace
}  // namespace dorvik::test
