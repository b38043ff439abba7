#include "product/ProductPrintData.h"

ProductPrintData::ProductPrintData(const QString& productData)
    : ProductXmlCatalog(
          productData,
          {QStringLiteral("tb_print_list"), QStringLiteral("tb_print_size"),
           QStringLiteral("tb_print_size_surface_link"), QStringLiteral("tb_print_surface"),
           QStringLiteral("tb_print_size_laminate_link"), QStringLiteral("tb_print_laminate")},
          {{kCategoryTag, QStringLiteral("tb_print_list"), QString(), QString()},
           {kSizeTag, QStringLiteral("tb_print_size"), QString(), QString()},
           {kSurfaceTag, QStringLiteral("tb_print_surface"),
            QStringLiteral("tb_print_size_surface_link"), QStringLiteral("surface_id")},
           {kLaminateTag, QStringLiteral("tb_print_laminate"),
            QStringLiteral("tb_print_size_laminate_link"), QStringLiteral("laminate_id")}}) {}
