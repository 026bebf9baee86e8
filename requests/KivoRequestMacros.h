#pragma once

// Expansion of the request tables (requests/tables/*.inc).
//
// A row is
//   KIVO_REQUEST(function, "Module.method", field, field, ...)
// where the function takes one parameter per field that has a value of its own, in field order,
// or
//   KIVO_REQUEST_P(function, "Module.method", (param, param, ...), field, field, ...)
// where the parameter list is given and each field names the parameter or expression it sends.
// or
//   KIVO_REQUEST_RECORD(function, "Module.method", Record)
// for a function that takes one record and is written out in its source file.
// Fields are set in row order. A field is written as its kind applied to its name:
//   Text(f) Int(f) Int64(f) Bool(f)        setString / setInt32 / setInt64 / setBool
//   TextList(f) IntList(f)                 addString / addInt32 with the whole list
//   TextItem(f) IntItem(f)                 addString / addInt32 with one element
//   TextIfNotEmpty(f) IntIfPositive(f)     set only when the text is not empty / the value > 0
//   IntIfNotZero(f) IntIfNotMinusOne(f)    set only when the value is not 0 / not -1
//   TextIs(f, v) IntIs(f, v) BoolIs(f, v)  set from an expression; takes no parameter
//   TextEach(f, list)                      one addString per element of a list parameter
//   TextNamed(name, v)                     setString with a field name known only at run time
// In a given parameter list, Text/Int/Int64/Bool/TextList/IntList declare one parameter each.
// The includer defines KIVO_REQUEST, KIVO_REQUEST_P and KIVO_REQUEST_RECORD as one of the forms
// below.

#include "KivoRequestBuilder.h"

#define KIVO_CAT(a, b) KIVO_CAT_(a, b)
#define KIVO_CAT_(a, b) a##b
#define KIVO_UNPAREN(...) __VA_ARGS__
#define KIVO_TAIL(...) KIVO_TAIL_(__VA_ARGS__)
#define KIVO_TAIL_(first, ...) __VA_ARGS__

#define KIVO_NARGS(...) KIVO_NARGS_(__VA_ARGS__, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0)
#define KIVO_NARGS_(a1, a2, a3, a4, a5, a6, a7, a8, a9, a10, a11, a12, n, ...) n
#define KIVO_FOR_EACH(m, ...) KIVO_CAT(KIVO_FE_, KIVO_NARGS(__VA_ARGS__))(m, __VA_ARGS__)
#define KIVO_FE_1(m, x) m(x)
#define KIVO_FE_2(m, x, ...) m(x) KIVO_FE_1(m, __VA_ARGS__)
#define KIVO_FE_3(m, x, ...) m(x) KIVO_FE_2(m, __VA_ARGS__)
#define KIVO_FE_4(m, x, ...) m(x) KIVO_FE_3(m, __VA_ARGS__)
#define KIVO_FE_5(m, x, ...) m(x) KIVO_FE_4(m, __VA_ARGS__)
#define KIVO_FE_6(m, x, ...) m(x) KIVO_FE_5(m, __VA_ARGS__)
#define KIVO_FE_7(m, x, ...) m(x) KIVO_FE_6(m, __VA_ARGS__)
#define KIVO_FE_8(m, x, ...) m(x) KIVO_FE_7(m, __VA_ARGS__)
#define KIVO_FE_9(m, x, ...) m(x) KIVO_FE_8(m, __VA_ARGS__)
#define KIVO_FE_10(m, x, ...) m(x) KIVO_FE_9(m, __VA_ARGS__)
#define KIVO_FE_11(m, x, ...) m(x) KIVO_FE_10(m, __VA_ARGS__)
#define KIVO_FE_12(m, x, ...) m(x) KIVO_FE_11(m, __VA_ARGS__)

// The parameter a field takes (", type name"), or nothing. An empty list pastes to KIVO_PARAM_.
#define KIVO_PARAM(d) KIVO_PARAM_##d
#define KIVO_PARAM_
#define KIVO_PARAM_Text(f) , const QString &f
#define KIVO_PARAM_Int(f) , int f
#define KIVO_PARAM_Int64(f) , qint64 f
#define KIVO_PARAM_Bool(f) , bool f
#define KIVO_PARAM_TextList(f) , const QStringList &f
#define KIVO_PARAM_IntList(f) , const QVector<int> &f
#define KIVO_PARAM_TextItem(f) , const QString &f
#define KIVO_PARAM_IntItem(f) , int f
#define KIVO_PARAM_TextIfNotEmpty(f) , const QString &f
#define KIVO_PARAM_IntIfPositive(f) , int f
#define KIVO_PARAM_IntIfNotZero(f) , int f
#define KIVO_PARAM_IntIfNotMinusOne(f) , int f
#define KIVO_PARAM_TextIs(f, v)
#define KIVO_PARAM_IntIs(f, v)
#define KIVO_PARAM_BoolIs(f, v)
#define KIVO_PARAM_TextEach(f, v)
#define KIVO_PARAM_TextNamed(n, v)

// The same without the names: the function's type, so an overload can be picked by it.
#define KIVO_TYPE(d) KIVO_TYPE_##d
#define KIVO_TYPE_
#define KIVO_TYPE_Text(f) , const QString &
#define KIVO_TYPE_Int(f) , int
#define KIVO_TYPE_Int64(f) , qint64
#define KIVO_TYPE_Bool(f) , bool
#define KIVO_TYPE_TextList(f) , const QStringList &
#define KIVO_TYPE_IntList(f) , const QVector<int> &
#define KIVO_TYPE_TextItem(f) , const QString &
#define KIVO_TYPE_IntItem(f) , int
#define KIVO_TYPE_TextIfNotEmpty(f) , const QString &
#define KIVO_TYPE_IntIfPositive(f) , int
#define KIVO_TYPE_IntIfNotZero(f) , int
#define KIVO_TYPE_IntIfNotMinusOne(f) , int
#define KIVO_TYPE_TextIs(f, v)
#define KIVO_TYPE_IntIs(f, v)
#define KIVO_TYPE_BoolIs(f, v)
#define KIVO_TYPE_TextEach(f, v)
#define KIVO_TYPE_TextNamed(n, v)

// The builder call that sets a field.
#define KIVO_SET(d) KIVO_SET_##d
#define KIVO_SET_
#define KIVO_SET_Text(f) .setString(#f, f)
#define KIVO_SET_Int(f) .setInt32(#f, f)
#define KIVO_SET_Int64(f) .setInt64(#f, f)
#define KIVO_SET_Bool(f) .setBool(#f, f)
#define KIVO_SET_TextList(f) .addString(#f, f)
#define KIVO_SET_IntList(f) .addInt32(#f, f)
#define KIVO_SET_TextItem(f) .addString(#f, f)
#define KIVO_SET_IntItem(f) .addInt32(#f, f)
#define KIVO_SET_TextIfNotEmpty(f) .setStringIf(!f.isEmpty(), #f, f)
#define KIVO_SET_IntIfPositive(f) .setInt32If(f > 0, #f, f)
#define KIVO_SET_IntIfNotZero(f) .setInt32If(f != 0, #f, f)
#define KIVO_SET_IntIfNotMinusOne(f) .setInt32If(f != -1, #f, f)
#define KIVO_SET_TextIs(f, v) .setString(#f, v)
#define KIVO_SET_IntIs(f, v) .setInt32(#f, v)
#define KIVO_SET_BoolIs(f, v) .setBool(#f, v)
#define KIVO_SET_TextEach(f, v) .addEachString(#f, v)
#define KIVO_SET_TextNamed(n, v) .setString(n, v)

#define KIVO_PARAMS(...) KIVO_TAIL(0 KIVO_FOR_EACH(KIVO_PARAM, __VA_ARGS__))
#define KIVO_TYPES(...) KIVO_TAIL(0 KIVO_FOR_EACH(KIVO_TYPE, __VA_ARGS__))
#define KIVO_SETTERS(...) KIVO_FOR_EACH(KIVO_SET, __VA_ARGS__)

// Declaration form (headers).
#define KIVO_DECLARE_REQUEST(name, method, ...) \
    QtPromise::QPromise<KivoServerResponse> name(KIVO_PARAMS(__VA_ARGS__));
#define KIVO_DECLARE_REQUEST_P(name, method, params, ...) \
    QtPromise::QPromise<KivoServerResponse> name(KIVO_PARAMS(KIVO_UNPAREN params));

#define KIVO_DECLARE_REQUEST_RECORD(name, method, Record) \
    QtPromise::QPromise<KivoServerResponse> name(const Record &);

// Definition form (sources): one builder chain per function.
#define KIVO_DEFINE_REQUEST(name, method, ...) \
    QtPromise::QPromise<KivoServerResponse> name(KIVO_PARAMS(__VA_ARGS__)) \
    { \
        return KivoRequestBuilder(method) KIVO_SETTERS(__VA_ARGS__).send(); \
    }
#define KIVO_DEFINE_REQUEST_P(name, method, params, ...) \
    QtPromise::QPromise<KivoServerResponse> name(KIVO_PARAMS(KIVO_UNPAREN params)) \
    { \
        return KivoRequestBuilder(method) KIVO_SETTERS(__VA_ARGS__).send(); \
    }

#define KIVO_DEFINE_REQUEST_RECORD(name, method, Record)

// The function's type, e.g. for static_cast<KIVO_REQUEST_TYPE(...)>(&name).
#define KIVO_REQUEST_TYPE(...) QtPromise::QPromise<KivoServerResponse> (*)(KIVO_TYPES(__VA_ARGS__))
