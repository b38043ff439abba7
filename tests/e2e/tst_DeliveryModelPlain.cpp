// The delivery model (DeliveryModel.h) for the lab healthy, a lost rename reply, a line cut
// mid-upload.
#include "DeliveryModel.h"

class TestDeliveryModelPlain : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyCrashPointAgainstTheLab() {
        model::runModelPart(
            {model::LabFault::Healthy, model::LabFault::ReplyLost, model::LabFault::LineCut});
    }
};

QTEST_GUILESS_MAIN(TestDeliveryModelPlain)
#include "tst_DeliveryModelPlain.moc"
