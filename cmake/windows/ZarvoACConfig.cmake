# find_package(ZarvoAC) for Windows programs: ZarvoAC::zarvoac, the DLL of
# the consumer's architecture (x64 or x86) with its import library.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(_zarvoac_arch x64)
elseif(CMAKE_SIZEOF_VOID_P EQUAL 4)
  set(_zarvoac_arch x86)
else()
  set(ZarvoAC_FOUND FALSE)
  set(ZarvoAC_NOT_FOUND_MESSAGE "ZarvoAC: enable a C or C++ language before find_package(ZarvoAC)")
  return()
endif()

get_filename_component(_zarvoac_root "${CMAKE_CURRENT_LIST_DIR}/../../.." ABSOLUTE)
if(NOT TARGET ZarvoAC::zarvoac)
  add_library(ZarvoAC::zarvoac SHARED IMPORTED)
  set_target_properties(ZarvoAC::zarvoac PROPERTIES
    IMPORTED_LOCATION "${_zarvoac_root}/${_zarvoac_arch}/bin/ZarvoAC.dll"
    IMPORTED_IMPLIB "${_zarvoac_root}/${_zarvoac_arch}/lib/ZarvoAC.lib"
    INTERFACE_INCLUDE_DIRECTORIES "${_zarvoac_root}/include")
endif()
unset(_zarvoac_arch)
unset(_zarvoac_root)
