// The delivery model (DeliveryModel.h) for a lab that refuses listings.
#include "DeliveryModel.h"

class TestDeliveryModelListing : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyCrashPointAgainstTheLab() { model::runModelPart({model::LabFault::ListingFails}); }
};

QTEST_GUILESS_MAIN(TestDeliveryModelListing)
#include "tst_DeliveryModelListing.moc"
