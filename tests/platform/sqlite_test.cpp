#include "veltrix/platform/sqlite.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "support/test_env.h"

namespace veltrix::platform {
namespace {

using testing::TempDir;

class SqliteTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(db_.open(dir_.path() / "test.db"));
    ASSERT_TRUE(db_.exec("CREATE TABLE t (id INTEGER PRIMARY KEY, txt TEXT, num INTEGER)"));
  }

  std::int64_t count(Db& db) {
    Stmt stmt = db.prepare("SELECT COUNT(*) FROM t");
    return stmt.step() == StepResult::Row ? stmt.int64(0) : -1;
  }

  bool insert(Db& db, std::string_view text) {
    Stmt stmt = db.prepare("INSERT INTO t (txt) VALUES (?)");
    return stmt.bind(1, text) && stmt.step() == StepResult::Done;
  }

  TempDir dir_;
  Db db_;
};

TEST_F(SqliteTest, TextAndIntegerValuesRoundTrip) {
  Stmt insert = db_.prepare("INSERT INTO t (id, txt, num) VALUES (?, ?, ?)");
  ASSERT_TRUE(insert.valid());
  const std::string withNul("a\0b", 3);
  struct Case {
    std::int64_t id;
    std::optional<std::string_view> text;
    std::int64_t num;
  };
  // An empty text must stay "" (also from a string_view without data) and an
  // absent one NULL.
  for (const Case& c : {Case{1, std::string_view(), INT64_MIN}, Case{2, std::nullopt, INT64_MAX},
                        Case{3, std::string_view(withNul), 0}, Case{4, "支付 \"x\"", -1}}) {
    ASSERT_TRUE(insert.bind(1, c.id));
    ASSERT_TRUE(insert.bind(2, c.text));
    ASSERT_TRUE(insert.bind(3, c.num));
    ASSERT_EQ(insert.step(), StepResult::Done) << insert.errorMessage();
    insert.reset();
  }
  EXPECT_EQ(db_.lastInsertRowId(), 4);

  Stmt select = db_.prepare("SELECT txt, num FROM t ORDER BY id");
  ASSERT_EQ(select.step(), StepResult::Row);
  EXPECT_EQ(select.text(0), "");
  EXPECT_EQ(select.int64(1), INT64_MIN);
  ASSERT_EQ(select.step(), StepResult::Row);
  EXPECT_EQ(select.text(0), std::nullopt);
  EXPECT_TRUE(select.isNull(0));
  EXPECT_EQ(select.int64(1), INT64_MAX);
  ASSERT_EQ(select.step(), StepResult::Row);
  EXPECT_EQ(select.text(0), withNul);
  ASSERT_EQ(select.step(), StepResult::Row);
  EXPECT_EQ(select.text(0), "支付 \"x\"");
  EXPECT_EQ(select.step(), StepResult::Done);
}

TEST_F(SqliteTest, FailuresAreReportedNotThrown) {
  Stmt bad = db_.prepare("SELECT nope FROM t");
  EXPECT_FALSE(bad.valid());
  EXPECT_NE(db_.errorMessage().find("no such column"), std::string::npos);
  EXPECT_FALSE(bad.bind(1, std::int64_t{1}));
  EXPECT_EQ(bad.step(), StepResult::Error);
  EXPECT_EQ(bad.text(0), std::nullopt);
  EXPECT_EQ(bad.int64(0), 0);

  Db closed;
  EXPECT_FALSE(closed.exec("SELECT 1"));
  EXPECT_FALSE(closed.prepare("SELECT 1").valid());
  EXPECT_FALSE(closed.inTransaction());
  EXPECT_EQ(closed.errorMessage(), "database is not open");
  Txn txn(closed);
  EXPECT_FALSE(txn.begun());
  EXPECT_FALSE(txn.commit());

  Db nowhere;
  EXPECT_FALSE(nowhere.open(dir_.path() / "missing" / "dir" / "x.db"));
  EXPECT_FALSE(nowhere.isOpen());
  EXPECT_FALSE(nowhere.errorMessage().empty());
}

TEST_F(SqliteTest, TransactionRollsBackUnlessCommitted) {
  {
    Txn txn(db_);
    ASSERT_TRUE(txn.begun());
    EXPECT_TRUE(db_.inTransaction());
    ASSERT_TRUE(insert(db_, "dropped"));
  }
  EXPECT_FALSE(db_.inTransaction());
  EXPECT_EQ(count(db_), 0);
  {
    Txn txn(db_);
    ASSERT_TRUE(insert(db_, "kept"));
    EXPECT_TRUE(txn.commit());
  }
  EXPECT_EQ(count(db_), 1);
}

// Commits well past the checkpoint mark are copied back into the file on the
// Db's own queue, and close() waits for that. Another connection stays open,
// so the close itself copies nothing back.
TEST_F(SqliteTest, BackgroundCheckpointsCopyTheLogBackAndKeepEveryCommit) {
  const std::filesystem::path file = dir_.path() / "test.db";
  ASSERT_TRUE(db_.exec("PRAGMA journal_mode=WAL"));
  db_.checkpointInBackground();
  Db other;
  ASSERT_TRUE(other.open(file));
  ASSERT_EQ(count(other), 0);
  const std::string page(4000, 'x');  // a page of its own per row
  constexpr int kCommits = 3 * Db::kCheckpointPages / 10;
  for (int i = 0; i < kCommits; ++i) {
    Txn txn(db_);
    for (int row = 0; row < 10; ++row) ASSERT_TRUE(insert(db_, page));
    ASSERT_TRUE(txn.commit());
  }
  db_.close();
  EXPECT_GE(std::filesystem::file_size(file), Db::kCheckpointPages * page.size());
  other.close();
  ASSERT_TRUE(db_.open(file));
  EXPECT_EQ(count(db_), 10 * kCommits);
}

TEST_F(SqliteTest, FailedCommitRollsBackAndLaterWritesPersist) {
  // A second connection in the middle of a read holds a shared lock, which
  // a rollback-journal COMMIT cannot get past.
  Db reader;
  ASSERT_TRUE(reader.open(dir_.path() / "test.db"));
  ASSERT_TRUE(reader.exec("BEGIN"));
  ASSERT_EQ(count(reader), 0);

  db_.close();
  ASSERT_TRUE(db_.open(dir_.path() / "test.db", 0));  // fails at once instead of waiting
  Txn txn(db_);
  ASSERT_TRUE(txn.begun());
  ASSERT_TRUE(insert(db_, "lost"));
  EXPECT_FALSE(txn.commit());
  EXPECT_NE(txn.error().find("locked"), std::string::npos) << txn.error();
  EXPECT_FALSE(db_.inTransaction()) << "the failed transaction must not stay open";

  ASSERT_TRUE(reader.exec("COMMIT"));
  ASSERT_TRUE(insert(db_, "persisted"));
  Db other;
  ASSERT_TRUE(other.open(dir_.path() / "test.db"));
  Stmt stmt = other.prepare("SELECT txt FROM t");
  ASSERT_EQ(stmt.step(), StepResult::Row);
  EXPECT_EQ(stmt.text(0), "persisted");
  EXPECT_EQ(stmt.step(), StepResult::Done);
}

TEST_F(SqliteTest, CachedStatementsComeBackResetAndAreNeverShared) {
  constexpr std::string_view kSelect = "SELECT txt FROM t WHERE num = ? OR ? IS NULL ORDER BY id";
  ASSERT_TRUE(db_.exec("INSERT INTO t (txt, num) VALUES ('a', 1), ('b', 2)"));
  {
    Stmt first = db_.prepareCached(kSelect);
    ASSERT_TRUE(first.bind(1, std::int64_t{2}) && first.bind(2, std::int64_t{0}));
    ASSERT_EQ(first.step(), StepResult::Row);
    EXPECT_EQ(first.text(0), "b");
    // The same text while the first is in use: a statement of its own.
    Stmt nested = db_.prepareCached(kSelect);
    ASSERT_EQ(nested.step(), StepResult::Row);  // nothing bound: every row
    EXPECT_EQ(nested.text(0), "a");
    EXPECT_EQ(first.step(), StepResult::Done);
  }
  // Given back bound or half-read: it comes back unbound, from the start.
  {
    Stmt again = db_.prepareCached(kSelect);
    ASSERT_EQ(again.step(), StepResult::Row);
    EXPECT_EQ(again.text(0), "a");
  }
  // Nor does a statement given back half-read keep its read lock, which
  // would hold off another connection's write.
  Db other;
  ASSERT_TRUE(other.open(dir_.path() / "test.db"));
  EXPECT_TRUE(other.exec("INSERT INTO t (txt) VALUES ('c')"));
  EXPECT_EQ(count(db_), 3);

  // A connection closed and opened again prepares afresh.
  db_.close();
  ASSERT_TRUE(db_.open(dir_.path() / "test.db"));
  Stmt reopened = db_.prepareCached(kSelect);
  EXPECT_EQ(reopened.step(), StepResult::Row);
  db_.setStatementCache(false);
  EXPECT_EQ(db_.prepareCached(kSelect).step(), StepResult::Row);
}

}  // namespace
}  // namespace veltrix::platform
