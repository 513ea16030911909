# The browser build, configured by emcmake (scripts/web.sh): the same runtime, host, devices,
# framework and game compiled to WebAssembly, with Emscripten's own GLFW 3, its fixed-function
# OpenGL emulation over WebGL, its OpenAL over Web Audio and IndexedDB for the saves. The page
# packs a data folder that a desktop build generated (SPINDRIFT_DATA_DIR), since the generator is a
# program of the build machine.

set(SPINDRIFT_DATA_DIR "" CACHE PATH "The generated data folder the page packs")
set(SPINDRIFT_PAGE_DIR ${CMAKE_BINARY_DIR}/web CACHE PATH "Where the page is written")
set(SPINDRIFT_WEB_DIR ${PROJECT_SOURCE_DIR}/web)

# The libraries the desktop build finds with pkg-config come with Emscripten, chosen by link flags.
add_library(PkgConfig::GLFW3 INTERFACE IMPORTED)
set_target_properties(PkgConfig::GLFW3 PROPERTIES INTERFACE_LINK_OPTIONS "-sUSE_GLFW=3")
add_library(OpenGL::GL INTERFACE IMPORTED)
set_target_properties(OpenGL::GL PROPERTIES INTERFACE_LINK_OPTIONS "-sLEGACY_GL_EMULATION=1")
add_library(PkgConfig::OPENAL INTERFACE IMPORTED)
set_target_properties(PkgConfig::OPENAL PROPERTIES INTERFACE_LINK_OPTIONS "-lopenal")
# The page has no threads; host/web/threads.cpp runs each thread to its end as it starts.
add_library(Threads::Threads INTERFACE IMPORTED)

# Fills in what Emscripten's older C++ library lacks.
include_directories(SYSTEM BEFORE ${PROJECT_SOURCE_DIR}/host/web/cxx)

# The runtime and the game throw and catch their own exceptions.
add_compile_options(-fexceptions)
add_link_options(-fexceptions)

# In the browser build a file in a folder's web/ subfolder takes the place of its namesake in the
# folder: the host's window, files and threads, stb_vorbis for Ogg in place of libvorbisfile (which
# Debian does not build for the browser), and the rest that a page does otherwise.
function(spindrift_web_replace target dir)
    get_target_property(sources ${target} SOURCES)
    file(GLOB web_sources CONFIGURE_DEPENDS ${dir}/web/*.cpp)
    foreach(web_source ${web_sources})
        get_filename_component(name ${web_source} NAME)
        list(REMOVE_ITEM sources ${dir}/${name})
    endforeach()
    set_property(TARGET ${target} PROPERTY SOURCES ${sources} ${web_sources})
endfunction()

function(spindrift_web_unlink target library)
    foreach(property LINK_LIBRARIES INTERFACE_LINK_LIBRARIES)
        get_target_property(libraries ${target} ${property})
        list(REMOVE_ITEM libraries ${library})
        set_property(TARGET ${target} PROPERTY ${property} ${libraries})
    endforeach()
endfunction()

function(spindrift_web_targets)
    spindrift_web_replace(host ${PROJECT_SOURCE_DIR}/host)
    spindrift_web_unlink(host vorbisfile)
    # Ahead of Emscripten's GLFW 3.2 header, which it extends with 3.3's gamepad calls.
    target_include_directories(host SYSTEM BEFORE PUBLIC ${PROJECT_SOURCE_DIR}/host/web/glfw)
    spindrift_web_replace(devices ${PROJECT_SOURCE_DIR}/devices/audio)
    # No sockets in a page: the networking is only the asynchronous-event poll the frame calls, and
    # the check-in stays off.
    set_property(TARGET net PROPERTY SOURCES ${PROJECT_SOURCE_DIR}/net/asyncevent.cpp)
    spindrift_web_replace(game ${PROJECT_SOURCE_DIR}/game)
endfunction()

# The data folder as the page packs it: the same files, with every picture's compression redone by
# optipng (lossless, keeping each picture's colour type and depth), which takes a third off the
# download. The generator writes its pictures quickly rather than small.
function(spindrift_web_data dir_var stamp_var)
    set(dir ${CMAKE_BINARY_DIR}/data)
    set(stamp ${CMAKE_BINARY_DIR}/data.stamp)
    file(GLOB_RECURSE data_files CONFIGURE_DEPENDS ${SPINDRIFT_DATA_DIR}/*)
    add_custom_command(OUTPUT ${stamp}
        COMMAND ${CMAKE_COMMAND} -E rm -rf ${dir}
        COMMAND ${CMAKE_COMMAND} -E copy_directory ${SPINDRIFT_DATA_DIR} ${dir}
        COMMAND sh -c "find '${dir}' -name '*.png' -print0 | xargs -0 -n 8 -P 2 optipng -quiet -o2 -nb -nc -np -strip all"
        COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
        DEPENDS ${data_files}
        COMMENT "Packing the data folder for the page"
        VERBATIM)
    add_custom_target(spindrift_web_data DEPENDS ${stamp})
    add_dependencies(spindrift spindrift_web_data)
    set(${dir_var} ${dir} PARENT_SCOPE)
    set(${stamp_var} ${stamp} PARENT_SCOPE)
endfunction()

# The page: spindrift.js, spindrift.wasm and spindrift.data beside our own index.html and icon.
function(spindrift_web_page)
    if(NOT IS_DIRECTORY "${SPINDRIFT_DATA_DIR}")
        message(FATAL_ERROR "SPINDRIFT_DATA_DIR must name a generated data folder")
    endif()
    spindrift_web_targets()
    spindrift_web_data(packed_data packed_stamp)
    set(page_dir ${SPINDRIFT_PAGE_DIR})
    set_target_properties(spindrift PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${page_dir} OUTPUT_NAME spindrift SUFFIX .js)
    target_link_options(spindrift PRIVATE
        -sALLOW_MEMORY_GROWTH=1
        -sEXIT_RUNTIME=1
        -sFORCE_FILESYSTEM=1
        -lidbfs.js
        "SHELL:--preload-file ${packed_data}@/spindrift/data"
        "SHELL:--pre-js ${SPINDRIFT_WEB_DIR}/page.js")
    set_property(TARGET spindrift APPEND PROPERTY LINK_DEPENDS ${SPINDRIFT_WEB_DIR}/page.js ${packed_stamp})
    configure_file(${SPINDRIFT_WEB_DIR}/index.html ${page_dir}/index.html COPYONLY)
    configure_file(${SPINDRIFT_DATA_DIR}/icons/spindrift-64.png ${page_dir}/icon.png COPYONLY)
    spindrift_web_verifier()
endfunction()

# The verifier for Node: the same game, headless, reading the replay named on its command line
# straight from the disk, so that rounds recorded on the desktop are checked by the WebAssembly
# build and the other way round. `node spindrift-verify.js --verify-replay FILE` answers as the
# desktop's `spindrift --verify-replay FILE` does.
function(spindrift_web_verifier)
    add_executable(spindrift_verify ${PROJECT_SOURCE_DIR}/game/main.cpp ${PROJECT_SOURCE_DIR}/game/program.cpp)
    target_link_libraries(spindrift_verify PRIVATE game)
    spindrift_warnings(spindrift_verify)
    set_target_properties(spindrift_verify PROPERTIES OUTPUT_NAME spindrift-verify SUFFIX .js)
    target_link_options(spindrift_verify PRIVATE -sENVIRONMENT=node -sNODERAWFS=1 -sEXIT_RUNTIME=1
                        -sALLOW_MEMORY_GROWTH=1)
endfunction()
