// SPDX-License-Identifier: LicenseRef-Corvane-Proprietary
// A profile file is read only up to 1 MiB (who may change it, and files that
// are not files, are tried end to end in tst_untrusted_e2e).
#include "profiletrust.h"
#include "runtimeerror.h"

#include <QTemporaryDir>
#include <QtTest>

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
};

QTEST_APPLESS_MAIN(TestProfileTrust)
#include "tst_profiletrust.moc"
