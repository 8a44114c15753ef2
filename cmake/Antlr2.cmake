# ANTLR 2: the grammar tool (Debian's `antlr`, run through `runantlr`) and the C++ runtime
# (libantlr-dev). antlr2_generate() runs the tool at build time into the build tree; the generated
# sources are listed in full so that dependent targets rebuild when a grammar changes.
find_program(ANTLR2_TOOL NAMES runantlr cantlr REQUIRED)
find_path(ANTLR2_INCLUDE_DIR antlr/CharScanner.hpp REQUIRED)
find_library(ANTLR2_LIBRARY NAMES antlr-pic antlr REQUIRED)

add_library(antlr2_runtime STATIC IMPORTED)
set_target_properties(antlr2_runtime PROPERTIES IMPORTED_LOCATION ${ANTLR2_LIBRARY})
target_include_directories(antlr2_runtime SYSTEM INTERFACE ${ANTLR2_INCLUDE_DIR})

# antlr2_generate(GRAMMAR file OUTPUT_DIR dir OUTPUTS names... [VOCABULARIES files...] [DEPENDS files...]
#                 [STATIC_BITSETS names...])
# OUTPUTS are the file names the tool writes into OUTPUT_DIR. VOCABULARIES are token vocabulary files
# the grammar imports; they are copied beside the outputs, where the tool looks for them.
# STATIC_BITSETS are outputs whose bit sets become xrStaticBitSet (see antlr-static-bitsets.cmake).
function(antlr2_generate)
    cmake_parse_arguments(A "" "GRAMMAR;OUTPUT_DIR" "OUTPUTS;VOCABULARIES;DEPENDS;STATIC_BITSETS" ${ARGN})
    set(outputs)
    foreach(name ${A_OUTPUTS})
        list(APPEND outputs ${A_OUTPUT_DIR}/${name})
    endforeach()
    set(copies)
    foreach(vocabulary ${A_VOCABULARIES})
        get_filename_component(vname ${vocabulary} NAME)
        list(APPEND copies COMMAND ${CMAKE_COMMAND} -E copy_if_different ${vocabulary} ${A_OUTPUT_DIR}/${vname})
    endforeach()
    set(rewrite)
    if(A_STATIC_BITSETS)
        set(files)
        foreach(name ${A_STATIC_BITSETS})
            list(APPEND files ${A_OUTPUT_DIR}/${name})
        endforeach()
        string(REPLACE ";" "|" files "${files}")
        set(rewrite COMMAND ${CMAKE_COMMAND} -DFILES=${files}
            -P ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/antlr-static-bitsets.cmake)
    endif()
    add_custom_command(
        OUTPUT ${outputs}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${A_OUTPUT_DIR}
        ${copies}
        COMMAND sh ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/run-antlr.sh ${ANTLR2_TOOL} -o ${A_OUTPUT_DIR} ${A_GRAMMAR}
        ${rewrite}
        WORKING_DIRECTORY ${A_OUTPUT_DIR}
        DEPENDS ${A_GRAMMAR} ${A_VOCABULARIES} ${A_DEPENDS} ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/run-antlr.sh
                ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/antlr-static-bitsets.cmake
        COMMENT "ANTLR 2: generating from ${A_GRAMMAR}"
        VERBATIM)
    set_source_files_properties(${outputs} PROPERTIES GENERATED TRUE)
endfunction()
