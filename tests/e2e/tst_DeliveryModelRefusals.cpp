// The delivery model (DeliveryModel.h) for a lab that refuses APPE or answers SIZE with 550.
#include "DeliveryModel.h"

class TestDeliveryModelRefusals : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyCrashPointAgainstTheLab() {
        model::runModelPart({model::LabFault::RefusesAppe, model::LabFault::Size550});
    }
};

QTEST_GUILESS_MAIN(TestDeliveryModelRefusals)
#include "tst_DeliveryModelRefusals.moc"
