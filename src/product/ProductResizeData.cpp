#include "product/ProductResizeData.h"

ProductResizeData::ProductResizeData(const QString& productData)
    : ProductXmlCatalog(
          productData,
          {QStringLiteral("tb_resize_list"), QStringLiteral("tb_resize_size"),
           QStringLiteral("tb_resize_size_surface_link"), QStringLiteral("tb_resize_surface"),
           QStringLiteral("tb_resize_size_goods_link"), QStringLiteral("tb_resize_goods"),
           QStringLiteral("tb_resize_goods_goods_option_link"),
           QStringLiteral("tb_resize_goods_option")},
          {{kCategoryTag, QStringLiteral("tb_resize_list"), QString(), QString()},
           {kSizeTag, QStringLiteral("tb_resize_size"), QString(), QString()},
           {kSurfaceTag, QStringLiteral("tb_resize_surface"),
            QStringLiteral("tb_resize_size_surface_link"), QStringLiteral("surface_id")},
           {kGoodsTag, QStringLiteral("tb_resize_goods"),
            QStringLiteral("tb_resize_size_goods_link"), QStringLiteral("goods_id")},
           {kGoodsOptionTag, QStringLiteral("tb_resize_goods_option"),
            QStringLiteral("tb_resize_goods_goods_option_link"),
            QStringLiteral("goods_option_id")}}) {}
