#pragma once

#include "product/ProductXmlCatalog.h"

// The school catalogue: categories, sizes, and the surfaces and laminates linked to each size.
// Pop-up tags 601 (category), 602 (size), 603 (surface), 604 (laminate).
class ProductSchoolData final : public ProductXmlCatalog {
public:
    static constexpr int kCategoryTag = 601;
    static constexpr int kSizeTag = 602;
    static constexpr int kSurfaceTag = 603;
    static constexpr int kLaminateTag = 604;

    explicit ProductSchoolData(const QString& productData);

    // As makePopup, keeping the selected title where the new list still holds it.
    void makePopupSelectKeep(ProductPopUpButton& popup,
                             const std::optional<QVariantMap>& queryDic) const {
        makePopupSelectKeepImpl(popup, queryDic);
    }
};
