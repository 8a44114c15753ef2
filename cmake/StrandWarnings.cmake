# Warnings are errors for our own code; generated code relaxes them separately.
function(strand_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Werror -Wno-unused-parameter)
endfunction()
