# What a test runs under: widgets offscreen, a fixed locale, OpenMP's idle workers resting (they
# spin unless told otherwise: the program tells them as it opens recognition, tests that link it
# are told here), and settings, data, cache and runtime folders of its own under `root`, named
# `folder`, never the user's. The runtime folder is private, as a desktop session's is; without
# one Qt makes its own in the temporary folder, which the tests watch for leftovers.
function(tolvane_test_environment out root folder)
  set(runtime ${root}/runtime/${folder})
  file(MAKE_DIRECTORY ${runtime})
  file(CHMOD ${runtime} DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE)
  set(${out} "QT_QPA_PLATFORM=offscreen;LC_ALL=C.UTF-8;OMP_WAIT_POLICY=passive;XDG_CONFIG_HOME=${root}/config/${folder};XDG_DATA_HOME=${root}/data/${folder};XDG_CACHE_HOME=${root}/cache/${folder};XDG_RUNTIME_DIR=${runtime}" PARENT_SCOPE)
endfunction()
