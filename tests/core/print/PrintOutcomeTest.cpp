#include <gtest/gtest.h>

#include "app/AppSettings.h"
#include "print/PrintOutcome.h"

using namespace thermivo;

TEST(PrintOutcome, SuccessSentencesCountPagesInBothLanguages) {
    EXPECT_EQ(describe(PrintOutcome::sent(3, "office"), kLanguageEnglishUs), "Sent 3 pages to office.");
    EXPECT_EQ(describe(PrintOutcome::sent(1, "office"), kLanguageEnglishUs), "Sent 1 page to office.");
    EXPECT_EQ(describe(PrintOutcome::sent(12, "office"), kLanguageEnglishUs), "Sent 12 pages to office.");
    EXPECT_EQ(describe(PrintOutcome::saved(1, "/tmp/a.pdf"), kLanguageEnglishUs),
              "Saved 1 page to /tmp/a.pdf.");
    EXPECT_EQ(describe(PrintOutcome::sent(3, "office"), kLanguageChinesePrc), "已将 3 页发送到 office。");
    EXPECT_EQ(describe(PrintOutcome::saved(4, "/tmp/a.pdf"), kLanguageChinesePrc),
              "已将 4 页保存到 /tmp/a.pdf。");
    EXPECT_TRUE(PrintOutcome::sent(3, "office").succeeded());
    EXPECT_FALSE(PrintOutcome::sent(3, "office").failed());
}

TEST(PrintOutcome, FailuresNameTheTargetAndTheReason) {
    using R = PrintOutcome::Result;
    const PrintOutcome refused = PrintOutcome::failure(R::Refused, "office", "not accepting jobs");
    EXPECT_TRUE(refused.failed());
    EXPECT_EQ(describe(refused, kLanguageEnglishUs),
              "The printer office refused the job. (not accepting jobs)");
    EXPECT_EQ(describe(refused, kLanguageChinesePrc), "打印机 office 拒绝了打印任务。 (not accepting jobs)");
    EXPECT_EQ(describe(PrintOutcome::failure(R::NotStarted, "office"), kLanguageEnglishUs),
              "The print job could not start on office.");
    EXPECT_EQ(describe(PrintOutcome::failure(R::PageFailed, "office", {}, 2), kLanguageEnglishUs),
              "Page 2 could not be started; the job for office was aborted.");
    EXPECT_EQ(
        describe(PrintOutcome::failure(R::SaveFailed, "/x/a.pdf", "no such folder"), kLanguageEnglishUs),
        "The PDF file /x/a.pdf could not be written. (no such folder)");
    EXPECT_EQ(describe(PrintOutcome::failure(R::NoPrinter, {}), kLanguageChinesePrc),
              "未安装打印机，无法打印。");

    // A target that contains a blank's name is not filled twice.
    EXPECT_EQ(describe(PrintOutcome::sent(2, "{n}"), kLanguageEnglishUs), "Sent 2 pages to {n}.");

    const PrintOutcome cancelled;
    EXPECT_FALSE(cancelled.failed());
    EXPECT_FALSE(cancelled.succeeded());
    EXPECT_EQ(describe(cancelled, kLanguageEnglishUs), "");
}

TEST(PrintOutcome, UnconfirmedAndStoppedPrintoutsAreNeverToldAsSent) {
    using R = PrintOutcome::Result;
    const PrintOutcome silent = PrintOutcome::failure(R::NoAnswer, "office");
    EXPECT_TRUE(silent.failed());
    EXPECT_EQ(describe(silent, kLanguageEnglishUs),
              "The print service did not answer; the job may not have been printed.");
    EXPECT_EQ(describe(silent, kLanguageChinesePrc), "打印服务没有应答，打印任务可能没有打印。");
    const PrintOutcome down = PrintOutcome::failure(R::ServiceDown, "office");
    EXPECT_TRUE(down.failed());
    EXPECT_EQ(describe(down, kLanguageEnglishUs), "The print service is not running.");
    EXPECT_EQ(describe(down, kLanguageChinesePrc), "打印服务没有运行。");
    EXPECT_TRUE(PrintOutcome::failure(R::Unconfirmed, "office").failed());
    EXPECT_EQ(describe(PrintOutcome::failure(R::Unconfirmed, "office"), kLanguageEnglishUs),
              "The pages were handed to office, but this build cannot confirm the job.");

    // Stopped by the user: told, but not as a failure.
    const PrintOutcome stopped = PrintOutcome::failure(R::Stopped, "office");
    EXPECT_FALSE(stopped.failed());
    EXPECT_FALSE(stopped.succeeded());
    EXPECT_EQ(describe(stopped, kLanguageEnglishUs), "Printing was cancelled; no job was left at office.");
    EXPECT_EQ(describe(PrintOutcome::failure(R::SaveStopped, "/tmp/a.pdf"), kLanguageChinesePrc),
              "保存已取消，/tmp/a.pdf 保持不变。");
}
