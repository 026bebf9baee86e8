#include "CatalogueInvoker.h"

#include <tuple>
#include <type_traits>
#include <utility>

#include "KivoRequests.h"

namespace {

// Per parameter type: its kind word and its conversion from a variant.
template<typename T>
struct Arg;

#define CATALOGUE_ARG(Type, word, conversion) \
    template<> \
    struct Arg<Type> \
    { \
        static QString kind() { return QStringLiteral(word); } \
        static Type from(const QVariant &v) { return conversion; } \
    };

CATALOGUE_ARG(QString, "text", v.toString())
CATALOGUE_ARG(int, "int", v.toInt())
CATALOGUE_ARG(qint64, "int64", v.toLongLong())
CATALOGUE_ARG(bool, "bool", v.toBool())
CATALOGUE_ARG(QStringList, "text list", v.toStringList())
CATALOGUE_ARG(QVector<int>, "int list", v.value<QVector<int>>())
CATALOGUE_ARG(UserWarnReport, "record", v.value<UserWarnReport>())
#undef CATALOGUE_ARG

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
#define KIVO_REQUEST_RECORD(name, method, Record) add(list, #name, &name);
#include "tables/ActivityRequests.inc"
#include "tables/UserRequests.inc"
#include "tables/MyRequests.inc"
#include "tables/RoomRequests.inc"
#include "tables/FunRoomRequests.inc"
#include "tables/GiftRequests.inc"
#include "tables/RedPacketRequests.inc"
#include "tables/SocialRequests.inc"
#undef KIVO_REQUEST
#undef KIVO_REQUEST_P
#undef KIVO_REQUEST_RECORD
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
