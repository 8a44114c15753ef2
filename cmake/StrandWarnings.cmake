# Warnings are errors for our own code; generated code relaxes them separately.
# -Wrestrict stays a warning only: g++ 12 reports false positives inside std::string at -O3.
function(strand_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wsuggest-override -Wnon-virtual-dtor -Wno-unused-parameter
                                             -Wno-error=restrict)
endfunction()
