// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// What a profile file must be: a regular file of at most 1 MiB, and, to steer
// a dial, changeable only by its owner (this user or root).
#include "profiletrust.h"
#include "runtimeerror.h"

#include <grp.h>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

class TestProfileTrust : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;

    QString fileOf(qint64 size) const {
        const QString path = m_dir.filePath(QStringLiteral("CVDIALER.INI"));
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(QByteArray(size, 'x'));
        return path;
    }

private Q_SLOTS:
    void sizeLimit_data() {
        QTest::addColumn<qint64>("size");
        QTest::addColumn<bool>("read");
        QTest::newRow("1 MiB") << ProfileTrust::kMaxProfileBytes << true;
        QTest::newRow("1 MiB and a byte") << ProfileTrust::kMaxProfileBytes + 1 << false;
    }
    void sizeLimit() {
        QFETCH(qint64, size);
        QFETCH(bool, read);
        const QString path = fileOf(size);
        try {
            QCOMPARE(ProfileTrust::readProfileFile(path)->size(), size);
            QVERIFY(read);
        } catch (const RunTimeError& error) {
            QVERIFY2(!read, qPrintable(error.description()));
            QCOMPARE(error.number(), int(PathFileAccessError));
            QVERIFY(error.description().contains(path));
        }
    }

    void missingFileIsNone() {
        QVERIFY(!ProfileTrust::readProfileFile(m_dir.filePath(QStringLiteral("none"))));
    }

    void whoMayChange_data() {
        QTest::addColumn<int>("mode");
        QTest::addColumn<gid_t>("group");
        QTest::addColumn<bool>("trusted");
        const group* shared = ::getgrnam("users");
        QTest::newRow("0600") << 0600 << ::getgid() << true;
        QTest::newRow("0644") << 0644 << ::getgid() << true;
        QTest::newRow("0646") << 0646 << ::getgid() << false;
        QTest::newRow("0664, private group") << 0664 << ::getgid() << true;
        if (shared && shared->gr_gid != ::getgid() && ::geteuid() == 0)
            QTest::newRow("0664, shared group") << 0664 << shared->gr_gid << false;
    }
    void whoMayChange() {
        QFETCH(int, mode);
        QFETCH(gid_t, group);
        QFETCH(bool, trusted);
        const QString path = fileOf(10);
        const QByteArray name = QFile::encodeName(path);
        QVERIFY(::chown(name.constData(), ::getuid(), group) == 0);
        QVERIFY(::chmod(name.constData(), mode_t(mode)) == 0);
        const QString why = ProfileTrust::whoMayChange(path, ::getuid());
        QVERIFY2(why.isEmpty() == trusted, qPrintable(why));
        if (!trusted)
            QVERIFY(why.contains(QStringLiteral("%1").arg(mode, 4, 8, QLatin1Char('0'))));
    }
};

QTEST_APPLESS_MAIN(TestProfileTrust)
#include "tst_profiletrust.moc"
