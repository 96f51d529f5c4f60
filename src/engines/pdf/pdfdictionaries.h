#pragma once

#include <functional>
#include <qpdf/QPDFObjectHandle.hh>

// Hands `visit` the dictionary of `object` (a stream's own) and each dictionary written inside
// it, outer first, so that keys it removes are not entered; indirect objects are left to be
// reached on their own.
inline void eachDictionary(QPDFObjectHandle object, const std::function<void(QPDFObjectHandle&)>& visit)
{
    if (object.isStream()) object = object.getDict();
    if (object.isDictionary()) {
        visit(object);
        for (const std::string& key : object.getKeys()) {
            QPDFObjectHandle value = object.getKey(key);
            if (!value.isIndirect()) eachDictionary(value, visit);
        }
    } else if (object.isArray()) {
        for (QPDFObjectHandle& item : object.getArrayAsVector())
            if (!item.isIndirect()) eachDictionary(item, visit);
    }
}
