# Warnings are errors for our own code; generated code relaxes them separately.
# -Wrestrict stays a warning only: g++ 12 reports false positives inside std::string at -O3.
# The clang build (the fuzz targets) shows its warnings without failing on them: g++ is the gate.
function(strand_warnings target)
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        target_compile_options(${target} PRIVATE -Wall -Wextra -Wno-unused-parameter)
        return()
    endif()
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wsuggest-override -Wnon-virtual-dtor -Wno-unused-parameter
                                             -Wno-error=restrict)
endfunction()
