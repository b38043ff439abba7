#include "product/ProductSchoolData.h"

ProductSchoolData::ProductSchoolData(const QString& productData)
    : ProductXmlCatalog(
          productData,
          {QStringLiteral("tb_school_list"), QStringLiteral("tb_school_size"),
           QStringLiteral("tb_school_size_surface_link"), QStringLiteral("tb_school_surface"),
           QStringLiteral("tb_school_size_laminate_link"), QStringLiteral("tb_school_laminate")},
          {{kCategoryTag, QStringLiteral("tb_school_list"), QString(), QString()},
           {kSizeTag, QStringLiteral("tb_school_size"), QString(), QString()},
           {kSurfaceTag, QStringLiteral("tb_school_surface"),
            QStringLiteral("tb_school_size_surface_link"), QStringLiteral("surface_id")},
           {kLaminateTag, QStringLiteral("tb_school_laminate"),
            QStringLiteral("tb_school_size_laminate_link"), QStringLiteral("laminate_id")}}) {}
