# The installed headers: <q6fd/q6fd.h> and exactly the headers it includes,
# under include/q6fd/ as in the tree. Everything else (statement builders,
# save hooks, the engines' drivers, the SQL dialect's rules, a recordset's
# rows) stays private: the public headers name those types only by a forward
# declaration.
#
# In the tree a header includes its neighbours by their path under src/
# ("runtime/variant.h", found through the target's include root); the
# installed copy says <q6fd/runtime/variant.h>, so users need only
# -I<prefix>/include, and no folder named runtime/, platform/ or component/
# lands on their include path. The copies are written at configure time;
# CMake configures again when one of the headers changes.
#
# A header that q6fd.h comes to include must be added here: the install
# check compiles every installed header on its own and fails on a missing one.
set(Q6_PUBLIC_HEADERS
  q6fd/q6fd.h
  q6fd/classes.h
  component/frame/component.h
  component/frame/data_manager.h
  component/frame/lock_manager.h
  component/frame/log_manager.h
  component/frame/oid_manager.h
  component/frame/query_manager.h
  component/support/enums.h
  outside/eso/entity_children.h
  outside/eso/entity_codes.h
  outside/eso/entity_field.h
  outside/eso/entity_fields.h
  outside/eso/entity_object.h
  outside/eso/keyed_list.h
  outside/eso/member_store.h
  outside/eso/oid_object.h
  platform/adodb/connection.h
  platform/adodb/fields.h
  platform/adodb/recordset.h
  platform/datasource/data_source.h
  platform/datasource/engine.h
  runtime/class_table.h
  runtime/com_error.h
  runtime/decimal.h
  runtime/dispatch.h
  runtime/export.h
  runtime/function_ref.h
  runtime/guid.h
  runtime/variant.h)

set(Q6_PUBLIC_INCLUDE ${PROJECT_BINARY_DIR}/public-include)
foreach(header ${Q6_PUBLIC_HEADERS})
  if(header MATCHES "^q6fd/")
    set(src ${PROJECT_SOURCE_DIR}/include/${header})
    set(dst ${Q6_PUBLIC_INCLUDE}/${header})
  else()
    set(src ${PROJECT_SOURCE_DIR}/src/${header})
    set(dst ${Q6_PUBLIC_INCLUDE}/q6fd/${header})
  endif()
  set_property(DIRECTORY ${PROJECT_SOURCE_DIR} APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${src})
  file(READ ${src} text)
  string(REGEX REPLACE "#include \"((runtime|platform|outside|component)/[^\"]+)\""
         "#include <q6fd/\\1>" text "${text}")
  string(REGEX REPLACE "#include \"(q6fd/[^\"]+)\"" "#include <\\1>" text "${text}")
  set(old "")
  if(EXISTS ${dst})
    file(READ ${dst} old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE ${dst} "${text}")
  endif()
  get_filename_component(dir ${header} DIRECTORY)
  if(header MATCHES "^q6fd/")
    install(FILES ${dst} DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/${dir} COMPONENT dev)
  else()
    install(FILES ${dst} DESTINATION ${Q6_INCLUDE_INSTALL_DIR}/${dir} COMPONENT dev)
  endif()
endforeach()
