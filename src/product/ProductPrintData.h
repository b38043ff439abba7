#pragma once

#include "product/ProductXmlCatalog.h"

// The print catalogue: categories, sizes, and the surfaces and laminates linked to each size.
// Pop-up tags 301 (category), 302 (size), 303 (surface), 304 (laminate).
class ProductPrintData final : public ProductXmlCatalog {
public:
    static constexpr int kCategoryTag = 301;
    static constexpr int kSizeTag = 302;
    static constexpr int kSurfaceTag = 303;
    static constexpr int kLaminateTag = 304;

    explicit ProductPrintData(const QString& productData);

    // As makePopup, keeping the selected title where the new list still holds it.
    void makePopupSelectKeep(ProductPopUpButton& popup,
                             const std::optional<QVariantMap>& queryDic) const {
        makePopupSelectKeepImpl(popup, queryDic);
    }
};
