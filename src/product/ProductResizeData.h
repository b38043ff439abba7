#pragma once

#include "product/ProductXmlCatalog.h"

// The resize catalogue: categories, sizes (with "resize_pix"), surfaces and goods linked to each
// size, goods options linked to each goods. Pop-up tags 401 to 405.
class ProductResizeData final : public ProductXmlCatalog {
public:
    static constexpr int kCategoryTag = 401;
    static constexpr int kSizeTag = 402;
    static constexpr int kSurfaceTag = 403;
    static constexpr int kGoodsTag = 404;
    static constexpr int kGoodsOptionTag = 405;

    explicit ProductResizeData(const QString& productData);
};
