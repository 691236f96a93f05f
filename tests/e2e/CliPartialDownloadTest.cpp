#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#include "CliRunner.h"
#include "TestSupport.h"
#include "data/RecordFile.h"
#include "sim/PtyInstrument.h"

using namespace thermivo;
using namespace thermivo::testing;

TEST(CliPartialDownload, KeepsExactlyTheSamplesThatArrivedAndStillFails) {
    TempDir dir;
    SimConfig c;
    c.samples = simulatedCurve(1000, 3);
    c.start = 1764576000;
    c.intervalMinutes = 5;
    c.faults.unplugAfter = 20;
    PtyInstrument instrument(c);
    ASSERT_TRUE(instrument.start()) << instrument.error();
    const std::string out = dir.file("part.kvlu");
    const CliRun r = cli(dir, "download --port " + instrument.path() + " -o '" + out + "' --partial");
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_NE(r.err.find("Fail to download data"), std::string::npos) << r.err;

    RecordFile file(out, RecordFile::ModeRead);
    auto rec = std::make_unique<Recording>();
    ASSERT_TRUE(file.isOpen() && file.read(*rec)) << file.error() << "\n" << r.err;
    const int n = rec->sampleCount;
    ASSERT_GE(n, 16 * 20);
    ASSERT_LT(n, 1000);
    EXPECT_NE(r.err.find("saved the " + std::to_string(n) + " of 1000 samples that arrived: " + out),
              std::string::npos)
        << r.err;
    for (int i = 0; i < n; ++i)
        ASSERT_NEAR(rec->temperature[static_cast<std::size_t>(i)], c.samples[static_cast<std::size_t>(i)],
                    0.005)
            << i;
    EXPECT_EQ(rec->startTime, c.start);
    EXPECT_EQ(rec->stopTime, c.start + static_cast<std::int64_t>(n - 1) * 300);
}
