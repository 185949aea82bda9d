// The library's public interface in one header.
//
// Link q6fd::q6fdmgr (CMake: find_package(q6fd 1.2 CONFIG)) or
// `pkg-config --cflags --libs q6fd`. Each header named here carries its own
// contract: what a member returns, what it raises (a q6::ComError with an
// HRESULT, a description and a source) and when, and who owns what it hands
// back.
//
//   runtime/variant.h        q6::Variant, the automation value,
//                            q6::VariantArray, an array of them (what
//                            Recordset::GetRows returns), and
//                            q6::ObjectRef, a counted reference to an object
//   runtime/com_error.h      q6::ComError and the HRESULTs it carries
//   runtime/dispatch.h       calls by name (q6::Dispatchable::Invoke...) and
//                            q6::As<T>(ObjectRef) to reach a typed interface
//   runtime/class_table.h    q6::CreateObject(ProgID) for any class of the
//                            package ("Q6FDMgr.DataManager", "ADODB.Connection",
//                            "Q6FDEso.EntityObject", ...)
//   platform/adodb/...       q6::Connection and q6::Recordset
//   outside/eso/...          the entity objects: q6::EntityObject, its fields,
//                            child entities and q6::OIDObject; entity_codes.h
//                            names the EditState and DataType numbers
//   component/frame/...      the five classes' typed interfaces
//   q6fd/classes.h           the five classes for C++ callers: defaults for
//                            optional arguments, temporaries accepted
//   component/support/enums.h  lock levels and move modes
#pragma once

#include "component/frame/data_manager.h"
#include "component/frame/lock_manager.h"
#include "component/frame/log_manager.h"
#include "component/frame/oid_manager.h"
#include "component/frame/query_manager.h"
#include "component/support/enums.h"
#include "outside/eso/entity_children.h"
#include "outside/eso/entity_codes.h"
#include "outside/eso/entity_field.h"
#include "outside/eso/entity_fields.h"
#include "outside/eso/entity_object.h"
#include "outside/eso/oid_object.h"
#include "platform/adodb/connection.h"
#include "platform/adodb/recordset.h"
#include "q6fd/classes.h"
#include "runtime/class_table.h"
#include "runtime/com_error.h"
#include "runtime/dispatch.h"
#include "runtime/variant.h"
