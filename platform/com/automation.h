// Late binding for callers: properties and methods of an IDispatch by name;
// failure results are thrown as ComError.
#pragma once

#include "com/dispatch.h"
#include "com/errorinfo.h"

#include <initializer_list>
#include <string_view>
#include <vector>

namespace quorvel::com {

/// The dispatch id of \p name (GetIDsOfNames); throws ComError
/// (DISP_E_UNKNOWNNAME and the like; E_POINTER for a null object).
QUORVEL_COM_API DISPID dispIdOf(IDispatch* obj, std::string_view name);

/// Invokes \p id with \p flags and \p args given FIRST FIRST (they are
/// passed last first, as DISPPARAMS wants); a property put passes its last
/// argument as the named DISPID_PROPERTYPUT argument. Throws ComError with
/// the failure result, or with the code, description and source of the
/// object's EXCEPINFO for DISP_E_EXCEPTION.
QUORVEL_COM_API Variant invoke(IDispatch* obj, DISPID id, WORD flags,
                               const std::vector<Variant>& args);

/// Reads a property, or calls a method without needing to know which:
/// DISPATCH_PROPERTYGET|DISPATCH_METHOD, as automation callers do for
/// `obj.name` or `obj.name(args)`.
QUORVEL_COM_API Variant getProperty(IDispatch* obj, std::string_view name,
                                    std::initializer_list<Variant> args = {});
/// Calls a method (DISPATCH_METHOD|DISPATCH_PROPERTYGET) and returns its
/// result (VT_EMPTY when it has none).
QUORVEL_COM_API Variant callMethod(IDispatch* obj, std::string_view name,
                                   std::initializer_list<Variant> args = {});
/// Sets a property (DISPATCH_PROPERTYPUT); \p indices come before the value.
QUORVEL_COM_API void putProperty(IDispatch* obj, std::string_view name, const Variant& value,
                                 std::initializer_list<Variant> indices = {});

} // namespace quorvel::com
