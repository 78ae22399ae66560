# make_rar.sh RAR ARCHIVE TREE DONE: packs the content of TREE as the root of a new RAR archive,
# then writes rar's exit code to DONE. Started by Windows test programs under Wine, which cannot
# wait for a Linux process they start: they wait for DONE instead.
"$1" a -r -ep1 -idq -y "$2" "$3/" > /dev/null 2>&1
echo $? > "$4.part" && mv "$4.part" "$4"
