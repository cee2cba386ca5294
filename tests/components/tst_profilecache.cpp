// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// The parsed profile is kept only while the file is surely the same: another
// writer's change shows at the next read, however little of stat it changes.
#include "profilecache.h"
#include "support/profilehome.h"

#include <cstdio>
#include <QtTest>

namespace {

enum class Change { None, InPlace, Grown, RenamedOver, Removed };

constexpr std::chrono::hours kLater{1};

} // namespace

class TestProfileCache : public QObject {
    Q_OBJECT

    std::unique_ptr<ProfileHome> m_home;
    int m_reads = 0;

    const ProfileDocument* document(ProfileCache& cache) {
        return cache.document(m_home->path(), [this](const QString& path) {
            ++m_reads;
            QFile file(path);
            return file.open(QIODevice::ReadOnly) ? std::optional(file.readAll()) : std::nullopt;
        });
    }
    QString value(ProfileCache& cache) {
        const ProfileDocument* read = document(cache);
        return read ? read->value("P", "K").value_or("<default>") : QStringLiteral("<none>");
    }
    // Same size, same times to the second: only the inode tells it apart.
    void renameOver() {
        const QString other = m_home->scratch(QStringLiteral("other"));
        QFile file(other);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write("[P]\nK=2\n") == 8);
        file.close();
        QCOMPARE(std::rename(QFile::encodeName(other), QFile::encodeName(m_home->path())), 0);
    }

private Q_SLOTS:
    void init() {
        m_home = std::make_unique<ProfileHome>();
        QVERIFY(m_home->write("[P]\nK=1\n"));
        m_reads = 0;
    }

    // "later": the cache's clock runs an hour ahead, so the file's stamp is
    // old enough to vouch for it; else it was stamped a moment ago, within
    // the file system's clock tick, where a rewrite may leave stat unchanged.
    void anotherWritersChangeIsSeen_data() {
        QTest::addColumn<bool>("later");
        QTest::addColumn<bool>("ownWrite");
        QTest::addColumn<Change>("change");
        QTest::addColumn<QString>("seen");
        QTest::addColumn<int>("reads");
        QTest::newRow("unchanged: not read again") << true << false << Change::None << "1" << 1;
        QTest::newRow("unchanged, stamped a moment ago: read again")
            << false << false << Change::None << "1" << 2;
        QTest::newRow("same size, rewritten at once")
            << false << false << Change::InPlace << "2" << 2;
        QTest::newRow("our own write, then another at once")
            << false << true << Change::InPlace << "2" << 2;
        QTest::newRow("grown in place") << true << false << Change::Grown << "12" << 2;
        QTest::newRow("same size, renamed over")
            << true << false << Change::RenamedOver << "2" << 2;
        QTest::newRow("removed") << true << false << Change::Removed << "<none>" << 2;
    }
    void anotherWritersChangeIsSeen() {
        QFETCH(bool, later);
        QFETCH(bool, ownWrite);
        QFETCH(Change, change);
        QFETCH(QString, seen);
        QFETCH(int, reads);
        ProfileCache cache([later] {
            return std::chrono::system_clock::now() + (later ? kLater : std::chrono::hours(0));
        });
        QCOMPARE(value(cache), QStringLiteral("1"));
        if (ownWrite)
            cache.written(m_home->path(), "[P]\nK=1\n");
        if (change == Change::InPlace)
            QVERIFY(m_home->write("[P]\nK=2\n"));
        else if (change == Change::Grown)
            QVERIFY(m_home->write("[P]\nK=12\n"));
        else if (change == Change::RenamedOver)
            renameOver();
        else if (change == Change::Removed)
            QVERIFY(QFile::remove(m_home->path()));
        QCOMPARE(value(cache), seen);
        QCOMPARE(m_reads, reads);
    }
};

QTEST_GUILESS_MAIN(TestProfileCache)
#include "tst_profilecache.moc"
