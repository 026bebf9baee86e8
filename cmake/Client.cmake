# The client library: subsystems 1-5 (core/ webhost/ voice/ widgets/ requests/), and the ambrel program.
ambrel_glob_sources(AMBREL_CLIENT_SOURCES core webhost voice widgets requests)
list(FILTER AMBREL_CLIENT_SOURCES EXCLUDE REGEX "/core/main\\.cpp$")

add_library(ambrel_client STATIC ${AMBREL_CLIENT_SOURCES})
add_library(ambrel::client ALIAS ambrel_client)
# Headers are included by name alone, whichever subfolder holds them.
set(AMBREL_CLIENT_INCLUDES ${CMAKE_SOURCE_DIR}/core ${CMAKE_SOURCE_DIR}/webhost ${CMAKE_SOURCE_DIR}/voice
  ${CMAKE_SOURCE_DIR}/widgets ${CMAKE_SOURCE_DIR}/requests)
foreach(f ${AMBREL_CLIENT_SOURCES})
  if(f MATCHES "\\.h(pp)?$")
    get_filename_component(d ${f} DIRECTORY)
    list(APPEND AMBREL_CLIENT_INCLUDES ${d})
  endif()
endforeach()
list(REMOVE_DUPLICATES AMBREL_CLIENT_INCLUDES)
target_include_directories(ambrel_client PUBLIC ${AMBREL_CLIENT_INCLUDES})
# Forms in subfolders find their promoted headers through the folders above.
set_target_properties(ambrel_client PROPERTIES AUTOUIC_SEARCH_PATHS
  "${CMAKE_SOURCE_DIR}/core;${CMAKE_SOURCE_DIR}/webhost;${CMAKE_SOURCE_DIR}/widgets;${CMAKE_SOURCE_DIR}/requests")
target_link_libraries(ambrel_client PUBLIC
  ambrel::pelorin ambrel::tamsel ambrel::quadrel ambrel::orvane
  ambrel::compat ambrel::resources
  Qt5::Core Qt5::Gui Qt5::Widgets Qt5::Network Qt5::WebSockets
  Qt5::WebEngineWidgets Qt5::WebChannel Qt5::Quick Qt5::OpenGL
  PkgConfig::JSONCPP PkgConfig::MINIZIP ZLIB::ZLIB protobuf::libprotobuf Threads::Threads)

add_executable(ambrel ${CMAKE_SOURCE_DIR}/core/main.cpp)
target_link_libraries(ambrel PRIVATE ambrel::client)
