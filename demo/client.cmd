@echo off
rem Stands in for the casino client: notes which configuration started it.
echo The casino client started with %1 >> started.txt
