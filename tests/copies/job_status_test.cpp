#include "copies/bside_job.h"

#include <gtest/gtest.h>

using namespace vorlane;

TEST(JobStatus, PredicatesAndEquality)
{
    struct Row
    {
        BsideJobStatus status;
        bool finished;
        bool inProgress;
    };
    const std::vector<Row> rows{{BsideJobStatus::queued(), false, true},
                                {BsideJobStatus::running(), false, true},
                                {BsideJobStatus::completed(), true, false},
                                {BsideJobStatus::failed(QStringLiteral("x")), true, false}};
    for (const Row &r : rows) {
        EXPECT_EQ(r.status.isFinished(), r.finished);
        EXPECT_EQ(r.status.isInProgress(), r.inProgress);
    }
    EXPECT_EQ(BsideJobStatus::failed(QStringLiteral("a")), BsideJobStatus::failed(QStringLiteral("a")));
    EXPECT_NE(BsideJobStatus::failed(QStringLiteral("a")), BsideJobStatus::failed(QStringLiteral("b")));
    EXPECT_NE(qHash(BsideJobStatus::failed(QStringLiteral("a"))), qHash(BsideJobStatus::failed(QStringLiteral("b"))));
    EXPECT_EQ(qHash(BsideJobStatus::queued()), qHash(BsideJobStatus::queued()));
}

TEST(JobStatus, JobStartsQueued)
{
    const BsideJob job(QUuid::createUuid(), "/a/IMG_1.JPG", "/a/a_bside/IMG_1_bside.jpg", false);
    EXPECT_EQ(job.status, BsideJobStatus::queued());
    EXPECT_TRUE(job.isInProgress());
    EXPECT_FALSE(job.id.isNull());
}
