# Stands in for a test that cannot run here: fails with the reason.
# Run by CTest as: cmake -DMESSAGE=<text> -P fail.cmake
message(FATAL_ERROR "${MESSAGE}")
