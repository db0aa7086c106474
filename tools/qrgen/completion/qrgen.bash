# bash completion for qrgen
_qrgen()
{
    # Plain bash, no bash-completion helpers needed; file names come from -o default.
    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]} cword=$COMP_CWORD
    local words=("${COMP_WORDS[@]}")
    COMPREPLY=()

    local common="-o --output -t --type -s --size -m --margin -l --level -v --symversion --mask -d --dpi
                  --foreground --background -k --kanji -8 --8bit -c --casesensitive -i --ignorecase
                  --strict-version -M --micro -S --structured --rmqr --rmqr-size --rmqr-height --eci --rle --svg-path --inline --verbose -r --read-from -h --help"
    case $prev in
        -o|--output|--file|-r|--read-from) return ;;
        -t|--type|--format) COMPREPLY=($(compgen -W 'PNG PNG32 SVG EPS PDF BMP XPM UTF8 UTF8i ANSI ANSI256 ANSIUTF8 ANSIUTF8i ANSI256UTF8 ASCII ASCIIi TXT CODEWORDS' -- "$cur")); return ;;
        -l|--level) COMPREPLY=($(compgen -W 'L M Q H' -- "$cur")); return ;;
        --mask) COMPREPLY=($(compgen -W 'auto 0 1 2 3 4 5 6 7' -- "$cur")); return ;;
        --security) COMPREPLY=($(compgen -W 'WPA WEP none' -- "$cur")); return ;;
        --kind) COMPREPLY=($(compgen -W 'text card url sms mms wifi phone email app' -- "$cur")); return ;;
        -O|--out-dir) COMPREPLY=($(compgen -d -- "$cur")); return ;;
        -s|--size|-m|--margin|-v|--symversion|-d|--dpi|--foreground|--background|-j|--jobs|--text|--hex|\
        --name|--tel|--qq|--email|--org|--title|--url|--addr|--body|--phone|--ssid|--password|--number|\
        --address|--package|--account|--name-column|--rmqr-size|--rmqr-height) return ;;
    esac

    local command="" i
    for ((i = 1; i < cword; i++)); do
        case ${words[i]} in
            encode|text|card|url|sms|mms|wifi|phone|email|app|wechat|batch) command=${words[i]}; break ;;
        esac
    done
    local fields=""
    case $command in
        "") fields="-V --version"
            [[ $cur != -* ]] && COMPREPLY=($(compgen -W 'encode text card url sms mms wifi phone email app wechat batch' -- "$cur")) ;;
        encode) fields="--text --hex --file" ;;
        text) fields="--text --payload" ;;
        card) fields="--name --tel --qq --email --org --title --url --addr --payload" ;;
        url) fields="--url --payload" ;;
        sms|mms) fields="--phone --body --payload" ;;
        wifi) fields="--ssid --password --security --payload" ;;
        phone) fields="--number --payload" ;;
        email) fields="--address --payload" ;;
        app) fields="--package --payload" ;;
        wechat) fields="--account --payload" ;;
        batch) fields="--kind --csv -O --out-dir --name-column --force --sync -j --jobs"
               common=${common/-o --output /} ;;
    esac
    [[ $cur == -* ]] && COMPREPLY=($(compgen -W "$common $fields" -- "$cur"))
}
complete -o default -F _qrgen qrgen
