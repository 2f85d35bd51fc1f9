#pragma once

// The tests of the production database, run on each backend: a SQLite file
// of the test's own, and a new database on the test binary's PostgreSQL
// server (support/PostgresServer.h).
#include "production/DatabaseAddress.h"
#include "support/PostgresServer.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

enum class Backend { Sqlite, Postgres };

// The backend as a test's name shows it.
inline void PrintTo(Backend backend, std::ostream* out)
{
    *out << (backend == Backend::Sqlite ? "sqlite" : "postgres");
}

class BackendTest : public testing::TestWithParam<Backend> {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        if (GetParam() == Backend::Sqlite) {
            address.file = folder.filePath(QStringLiteral("production.sqlite"));
            return;
        }
        if (PostgresTestsSkipped())
            GTEST_SKIP() << "QUORVEX_NO_POSTGRES=1";
        std::string error;
        const QString uri = SharedPostgres().NewDatabase(error);
        ASSERT_FALSE(uri.isEmpty()) << "the PostgreSQL test server: " << error;
        const auto parsed = ParseDatabaseAddress(uri.toStdString(), error);
        ASSERT_TRUE(parsed) << error;
        address = *parsed;
    }

    QTemporaryDir folder;
    DatabaseAddress address;
};

// Instantiates a BackendTest suite on both backends: Sqlite/SUITE.TEST/0 and
// Postgres/SUITE.TEST/0, which CTest shows as .../sqlite and .../postgres
// (the PostgreSQL ones run in one process, see CMakeLists.txt).
#define QUORVEX_ON_EACH_BACKEND(suite)                                            \
    INSTANTIATE_TEST_SUITE_P(Sqlite, suite, testing::Values(Backend::Sqlite));   \
    INSTANTIATE_TEST_SUITE_P(Postgres, suite, testing::Values(Backend::Postgres))
