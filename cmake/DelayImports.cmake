# Delay-import libraries of the system DLLs that are not KnownDLLs.
#
# Windows looks for a DLL that a program imports in the program's own folder
# first, before the program's first line runs, unless the DLL is one of its
# KnownDLLs. The launcher and the self-updater run from the game folder with
# administrator rights, so their import tables name KnownDLLs alone: the other
# system DLLs they use come from delay-import libraries made here from MinGW's
# import libraries (same functions, same symbols), and the first call of one
# of a DLL's functions loads that DLL from the system folder by its full path
# (the delay-load hook of common/system_dlls.cpp).

set(VANTORA_DELAY_IMPORT_DIR ${CMAKE_BINARY_DIR}/delay-imports)
if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(delay_import_machine i386)
    # C symbols start with an underscore on i386.
    set(VANTORA_NOTIFY_HOOK_SYMBOL ___pfnDliNotifyHook2)
else()
    set(delay_import_machine x86-64)
    set(VANTORA_NOTIFY_HOOK_SYMBOL __pfnDliNotifyHook2)
endif()
add_custom_target(delay_imports)

# vantora_add_delay_import(NAME DLL): lib<NAME>.a in VANTORA_DELAY_IMPORT_DIR,
# the delay-import library of DLL made from MinGW's lib<NAME>.a, and the
# target vantora_delay_<NAME> that links it.
function(vantora_add_delay_import name dll)
    set(import_library /usr/${MINGW_TRIPLE}/lib/lib${name}.a)
    set(output ${VANTORA_DELAY_IMPORT_DIR}/lib${name}.a)
    if(NOT EXISTS ${import_library})
        message(FATAL_ERROR "${import_library} is missing (MinGW-w64)")
    endif()
    add_custom_command(
        OUTPUT ${output}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${VANTORA_DELAY_IMPORT_DIR}
        COMMAND bash ${CMAKE_SOURCE_DIR}/cmake/make-delay-library.sh ${delay_import_machine}
                ${CMAKE_NM} ${CMAKE_DLLTOOL} ${CMAKE_AR} ${import_library} ${dll} ${output}
        DEPENDS ${CMAKE_SOURCE_DIR}/cmake/make-delay-library.sh ${import_library}
        COMMENT "Making the delay-import library of ${dll}"
        VERBATIM)
    add_custom_target(delay_import_${name} DEPENDS ${output})
    add_dependencies(delay_imports delay_import_${name})
    add_library(vantora_delay_${name} STATIC IMPORTED GLOBAL)
    set_target_properties(vantora_delay_${name} PROPERTIES IMPORTED_LOCATION ${output})
    add_dependencies(vantora_delay_${name} delay_import_${name})
    set_property(GLOBAL APPEND PROPERTY VANTORA_DELAY_IMPORT_LIBRARIES ${output})
endfunction()

# vantora_use_delay_imports(TARGET): the program finds the delay-import
# libraries first under the names its libraries link (-lwinhttp, ...), and
# links the hook that loads their DLLs from the system folder.
function(vantora_use_delay_imports target)
    get_property(libraries GLOBAL PROPERTY VANTORA_DELAY_IMPORT_LIBRARIES)
    target_link_directories(${target} BEFORE PRIVATE ${VANTORA_DELAY_IMPORT_DIR})
    target_link_options(${target} PRIVATE -Wl,--undefined=${VANTORA_NOTIFY_HOOK_SYMBOL})
    add_dependencies(${target} delay_imports)
    set_property(TARGET ${target} APPEND PROPERTY LINK_DEPENDS ${libraries})
endfunction()

vantora_add_delay_import(winhttp winhttp.dll)
vantora_add_delay_import(bcrypt bcrypt.dll)
vantora_add_delay_import(rstrtmgr RstrtMgr.dll)
vantora_add_delay_import(gdiplus gdiplus.dll)
