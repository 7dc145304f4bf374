#pragma once

#include <QApplication>
#include <QDir>
#include <QTest>

#include <cstdio>

// The rows of a test that runs with speed priority on and off, in a bool
// column "speed".
inline void AddSpeedPriorityRows()
{
    QTest::addColumn<bool>("speed");
    QTest::newRow("speed priority on") << true;
    QTest::newRow("speed priority off") << false;
}

// Test entry point: a QApplication named like the program, and a refusal to
// run outside the throw-away home that tests/isolate.sh provides.
#define ZEDU_TEST_MAIN(TestClass)                                                                  \
    int main(int argc, char* argv[])                                                               \
    {                                                                                              \
        const QByteArray scratch = qgetenv("ZEDU_TEST_SCRATCH");                                   \
        if (scratch.isEmpty() || !qgetenv("HOME").startsWith(scratch)) {                           \
            std::fprintf(stderr, "Run tests through tests/isolate.sh (ctest does).\n");            \
            return 2;                                                                              \
        }                                                                                          \
        QApplication app(argc, argv);                                                              \
        QCoreApplication::setOrganizationName(QStringLiteral("voradu"));                           \
        QCoreApplication::setApplicationName(QStringLiteral("zedu"));                              \
        TestClass tc;                                                                              \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&tc, argc, argv);                                                      \
    }
