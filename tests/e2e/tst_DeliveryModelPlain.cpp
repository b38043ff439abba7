// The delivery model (DeliveryModel.h) for the lab healthy, a lost rename reply, a killed curl.
#include "DeliveryModel.h"

class TestDeliveryModelPlain : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyCrashPointAgainstTheLab() {
        model::runModelPart(
            {model::LabFault::Healthy, model::LabFault::ReplyLost, model::LabFault::CurlKilled});
    }
};

QTEST_GUILESS_MAIN(TestDeliveryModelPlain)
#include "tst_DeliveryModelPlain.moc"
