# The entry tests run the real installer program as a child process.
add_dependencies(talvorin_tests talvorin-installer)
