#include "CatalogueInvoker.h"

#include <tuple>
#include <type_traits>
#include <utility>

#include "KivoRequests.h"

namespace {

template<typename T>
struct Arg;

template<>
struct Arg<QString>
{
    static QString kind() { return QStringLiteral("text"); }
    static QString from(const QVariant &v) { return v.toString(); }
};

template<>
struct Arg<int>
{
    static QString kind() { return QStringLiteral("int"); }
    static int from(const QVariant &v) { return v.toInt(); }
};

template<>
struct Arg<qint64>
{
    static QString kind() { return QStringLiteral("int64"); }
    static qint64 from(const QVariant &v) { return v.toLongLong(); }
};

template<>
struct Arg<bool>
{
    static QString kind() { return QStringLiteral("bool"); }
    static bool from(const QVariant &v) { return v.toBool(); }
};

template<>
struct Arg<QStringList>
{
    static QString kind() { return QStringLiteral("text list"); }
    static QStringList from(const QVariant &v) { return v.toStringList(); }
};

template<>
struct Arg<QVector<int>>
{
    static QString kind() { return QStringLiteral("int list"); }
    static QVector<int> from(const QVariant &v) { return v.value<QVector<int>>(); }
};

template<>
struct Arg<UserWarnReport>
{
    static QString kind() { return QStringLiteral("record"); }
    static UserWarnReport from(const QVariant &v) { return v.value<UserWarnReport>(); }
};

using Response = QtPromise::QPromise<KivoServerResponse>;

template<typename... A, std::size_t... I>
Response invoke(Response (*fn)(A...), const QVariantList &args, std::index_sequence<I...>)
{
    Q_UNUSED(args) // a function without parameters
    return fn(Arg<std::decay_t<A>>::from(args.value(int(I)))...);
}

template<typename... A>
void add(QVector<CatalogueEntry> &list, const char *name, Response (*fn)(A...))
{
    CatalogueEntry entry;
    entry.function = QString::fromLatin1(name);
    entry.parameterKinds = QStringList{Arg<std::decay_t<A>>::kind()...};
    entry.call = [fn](const QVariantList &args) {
        return invoke(fn, args, std::index_sequence_for<A...>());
    };
    list.append(entry);
}

QVector<CatalogueEntry> buildEntries()
{
    QVector<CatalogueEntry> list;
#define KIVO_REQUEST(name, method, ...) \
    add(list, #name, static_cast<KIVO_REQUEST_TYPE(__VA_ARGS__)>(&name));
#define KIVO_REQUEST_P(name, method, params, ...) \
    add(list, #name, static_cast<KIVO_REQUEST_TYPE(KIVO_UNPAREN params)>(&name));
#include "tables/ActivityRequests.inc"
#include "tables/UserRequests.inc"
#include "tables/MyRequests.inc"
    add(list, "requestMyCmdReportUserWarn", &requestMyCmdReportUserWarn);
#include "tables/RoomRequests.inc"
#include "tables/FunRoomRequests.inc"
#include "tables/GiftRequests.inc"
#include "tables/RedPacketRequests.inc"
#include "tables/SocialRequests.inc"
#undef KIVO_REQUEST
#undef KIVO_REQUEST_P
    return list;
}

} // namespace

const QVector<CatalogueEntry> &CatalogueInvoker::entries()
{
    static const QVector<CatalogueEntry> list = buildEntries();
    return list;
}

QVector<const CatalogueEntry *> CatalogueInvoker::find(const QString &function)
{
    QVector<const CatalogueEntry *> found;
    for (const CatalogueEntry &entry : entries())
        if (entry.function == function)
            found.append(&entry);
    return found;
}
