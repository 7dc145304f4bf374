#include "tests/support/TestMain.h"
class tst_PrintLayout : public QObject
{
    Q_OBJECT
};
ZEDU_TEST_MAIN(tst_PrintLayout)
#include "tst_PrintLayout.moc"
